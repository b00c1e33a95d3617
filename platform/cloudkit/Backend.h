#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/cloudkit/Error.h"
#include "platform/cloudkit/Query.h"
#include "platform/cloudkit/QueryCursor.h"
#include "platform/cloudkit/QueryNotification.h"
#include "platform/cloudkit/Record.h"
#include "platform/cloudkit/ServerChangeToken.h"
#include "platform/cloudkit/Subscription.h"
#include "platform/plist/Value.h"

namespace wv::ck {

enum class AccountStatus : int {
    CouldNotDetermine = 0,
    Available = 1,
    Restricted = 2,
    NoAccount = 3
};

enum class Scope { Public = 1, Private = 2 };

// Who calls: an installation (one data folder of the program) signed in to an account.
struct Caller {
    std::string installation;
    std::string account;
};

struct ModifyResult {
    std::vector<Record> saved;
    std::vector<RecordID> deleted;
    std::optional<Error> error;  // a partial failure lists the records that failed
};

struct QueryPage {
    std::vector<Record> records;
    std::optional<QueryCursor> cursor;  // none on the last page
    std::optional<Error> error;
};

struct FetchedRecord {
    RecordID recordID;
    std::optional<Record> record;
    std::optional<Error> error;
};

struct FetchResult {
    std::vector<FetchedRecord> items;  // in the order asked
    std::optional<Error> error;
};

struct NotificationPage {
    std::vector<QueryNotification> notifications;
    std::optional<ServerChangeToken> token;  // always a new one unless the call failed
    bool moreComing = false;
    std::optional<Error> error;
};

struct SubscriptionsResult {
    std::vector<Subscription> subscriptions;
    std::optional<Error> error;
};

struct SubscriptionResult {
    std::optional<Subscription> subscription;
    std::optional<Error> error;
};

struct AccountResult {
    AccountStatus status = AccountStatus::CouldNotDetermine;
    std::optional<Error> error;
};

using KeyValues = std::vector<std::pair<std::string, plist::Value>>;

struct KeyValueExchange {
    KeyValues changes;                  // others' values newer than the cursor
    std::vector<std::string> rejected;  // own keys refused as over the account's quota
    int64_t cursor = 0;
    std::optional<Error> error;
};

// What the push poll learns about one installation.
struct PollResult {
    bool push = false;              // new notifications of others since its push cursor
    bool keyValuesChanged = false;  // others wrote key-value entries past its cursor
    AccountResult account;
};

// A fault armed through the control surface: the next `count` calls of `kind` (or, with a
// record name, the next saves or fetches of that record) by the installation ("*": any)
// fail with `code`.
struct Fault {
    std::string installation = "*";
    std::string kind;
    std::string recordName;
    int64_t count = 1;
    ErrorCode code = ErrorCode::InternalError;
};

// One table of the inspection, as text.
struct Table {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::optional<Error> error;
};

// The server side of the cloud stand-in. A container calls it from its worker thread only,
// one call at a time; several processes (and several backends in one process) may share the
// store behind it, which keeps every change atomic and every control visible to all.
// Every call first applies the controls of the calling installation: network down, an
// account status other than available (private data then fails as not authenticated), and
// armed faults.
class Backend {
  public:
    virtual ~Backend() = default;

    // Opens the store, creating it when it does not exist; an error names what is wrong and
    // leaves the store as it was. Every later call fails the same way after a failed open.
    virtual std::optional<Error> open() = 0;
    // "folder <path>": where the store lives, for messages and the inspection tool.
    virtual std::string location() const = 0;
    // Ends a wait in progress (a held installation) so the worker can stop.
    virtual void interrupt() = 0;

    virtual AccountResult accountStatus(const Caller& caller) = 0;
    // Marks the installation as wanting pushes; its push cursor starts at the newest
    // notification the first time, so only what follows is pushed.
    virtual std::optional<Error> registerForPushes(const Caller& caller) = 0;
    // Coalesces what happened since the last poll; advances the push cursor.
    virtual PollResult poll(const Caller& caller, int64_t keyValueCursor) = 0;

    virtual ModifyResult modifyRecords(const Caller& caller, Scope scope,
                                       const std::vector<Record>& recordsToSave,
                                       const std::vector<RecordID>& recordIDsToDelete) = 0;
    // The first page of `query`, or the page after `cursor`; `limit` 0 takes the server's
    // page size.
    virtual QueryPage query(const Caller& caller, Scope scope, const std::optional<Query>& query,
                            const std::optional<QueryCursor>& cursor, int64_t limit) = 0;
    virtual FetchResult fetchRecords(const Caller& caller, Scope scope,
                                     const std::vector<RecordID>& recordIDs) = 0;
    // The caller's notifications after `token` (from the start without one), at most
    // `limit` (0: the server's limit).
    virtual NotificationPage fetchNotificationChanges(const Caller& caller,
                                                      const std::optional<ServerChangeToken>& token,
                                                      int64_t limit) = 0;
    virtual SubscriptionsResult fetchAllSubscriptions(const Caller& caller, Scope scope) = 0;
    virtual SubscriptionResult saveSubscription(const Caller& caller, Scope scope,
                                                const Subscription& subscription) = 0;
    // Sends the installation's changed entries (last writer wins) and returns the entries
    // others wrote after `cursor`; never the caller's own.
    virtual KeyValueExchange exchangeKeyValues(const Caller& caller, const KeyValues& dirty,
                                               int64_t cursor) = 0;

    // The control surface (see ContainerControl).
    virtual std::optional<Error> setAccountStatus(const std::string& installation,
                                                  std::optional<AccountStatus> status) = 0;
    virtual std::optional<Error> setNetworkDown(const std::string& installation, bool down) = 0;
    virtual std::optional<Error> setHold(const std::string& installation, bool hold) = 0;
    virtual std::optional<Error> addFault(const Fault& fault) = 0;
    virtual std::optional<Error> clearFaults() = 0;
    virtual std::optional<Error> setSetting(const std::string& key, const std::string& value) = 0;
    virtual std::optional<Error> resetEpoch() = 0;
    virtual Table inspect(const std::string& table) = 0;
};

}  // namespace wv::ck
