#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/cloudkit/Backend.h"

namespace wv::ck {

// The server backend: one PostgreSQL database (through libpq) that installations on any
// number of machines share. The connection string goes to libpq as it stands (host, port,
// sslmode, passwords from ~/.pgpass); only its host, port, database and user are ever shown.
//
// Every change is one transaction that first locks the single counter row and then takes
// its sequence number from it, so writers queue on that row and numbers (and the
// notification and record row ids taken under the same lock) rise in commit order: a reader
// never sees a number while a lower one is still to commit.
//
// A database that is neither empty nor one of ours is refused and left untouched. A server
// that cannot be reached is not a refusal: every call then fails with a network error within
// the timeouts below, and the next call connects again.
class PgBackend final : public Backend {
  public:
    static constexpr int kSchemaVersion = 1;
    static constexpr int kMaxRecordsPerModify = 400;
    static constexpr int64_t kDefaultPageSize = 200;
    static constexpr int64_t kDefaultNotificationLimit = 1000;
    static constexpr int64_t kKeyValueQuotaBytes = 1024 * 1024;
    static constexpr int64_t kKeyValueQuotaKeys = 1024;
    // Unless the connection string names its own connect_timeout.
    static constexpr int kConnectTimeoutSeconds = 5;
    // The longest one statement may take before the connection is given up as dead.
    static constexpr int kRequestTimeoutSeconds = 10;

    PgBackend(std::string connectionString, std::string containerIdentifier);
    ~PgBackend() override;

    // "server host=... port=... dbname=... user=...", without a password; empty when the
    // string does not parse.
    static std::string describe(const std::string& connectionString);
    // The channel on which the server announces commits that concern `account`.
    static std::string channelFor(const std::string& containerIdentifier,
                                  const std::string& account);

    std::optional<Error> open() override;
    std::string location() const override;
    void interrupt() override;
    // Called from the listener thread when the server announces a change for the account
    // (or the listener has just connected again and may have missed some).
    void setChangeHandler(std::function<void()> handler) override;

    AccountResult accountStatus(const Caller& caller) override;
    std::optional<Error> registerForPushes(const Caller& caller) override;
    PollResult poll(const Caller& caller, int64_t keyValueCursor) override;

    ModifyResult modifyRecords(const Caller& caller, Scope scope,
                               const std::vector<Record>& recordsToSave,
                               const std::vector<RecordID>& recordIDsToDelete) override;
    QueryPage query(const Caller& caller, Scope scope, const std::optional<Query>& query,
                    const std::optional<QueryCursor>& cursor, int64_t limit) override;
    FetchResult fetchRecords(const Caller& caller, Scope scope,
                             const std::vector<RecordID>& recordIDs) override;
    NotificationPage fetchNotificationChanges(const Caller& caller,
                                              const std::optional<ServerChangeToken>& token,
                                              int64_t limit) override;
    SubscriptionsResult fetchAllSubscriptions(const Caller& caller, Scope scope) override;
    SubscriptionResult saveSubscription(const Caller& caller, Scope scope,
                                        const Subscription& subscription) override;
    KeyValueExchange exchangeKeyValues(const Caller& caller, const KeyValues& dirty,
                                       int64_t cursor) override;

    std::optional<Error> setAccountStatus(const std::string& installation,
                                          std::optional<AccountStatus> status) override;
    std::optional<Error> setNetworkDown(const std::string& installation, bool down) override;
    std::optional<Error> setHold(const std::string& installation, bool hold) override;
    std::optional<Error> addFault(const Fault& fault) override;
    std::optional<Error> clearFaults() override;
    std::optional<Error> setSetting(const std::string& key, const std::string& value) override;
    std::optional<Error> resetEpoch() override;
    Table inspect(const std::string& table) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace wv::ck
