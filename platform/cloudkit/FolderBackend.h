#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/cloudkit/Backend.h"

namespace wv::ck {

// The embedded backend: one SQLite file (write-ahead log, full sync) that every installation
// on the machine or shared disk opens. Each change is one immediate transaction that takes
// the next server sequence number, so writers in several processes queue for the file and
// numbers rise in commit order without gaps. The file carries an application id, a schema
// version and the container identifier; a file that is not such a store is refused and left
// untouched.
class FolderBackend final : public Backend {
  public:
    static constexpr int kSchemaVersion = 1;
    static constexpr int kApplicationId = 0x57564E43;  // "WVNC"
    static constexpr int kMaxRecordsPerModify = 400;
    static constexpr int64_t kDefaultPageSize = 200;
    static constexpr int64_t kDefaultNotificationLimit = 1000;
    static constexpr int64_t kKeyValueQuotaBytes = 1024 * 1024;
    static constexpr int64_t kKeyValueQuotaKeys = 1024;

    // The store of `containerIdentifier` in `file` (the folder's "<identifier>.sqlite").
    FolderBackend(std::filesystem::path file, std::string containerIdentifier);
    ~FolderBackend() override;

    static std::filesystem::path fileInFolder(const std::filesystem::path& folder,
                                              const std::string& containerIdentifier);

    std::optional<Error> open() override;
    std::string location() const override;
    void interrupt() override;

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
