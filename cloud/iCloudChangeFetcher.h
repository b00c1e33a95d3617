#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/cloudkit/Container.h"
#include "platform/cloudkit/QueryNotification.h"
#include "platform/cloudkit/ServerChangeToken.h"
#include "platform/plist/UserDefaults.h"

namespace wv {

// Fetches the container's notifications after the stored change token, sorts the record IDs
// they name into created, updated and deleted, and keeps the new token pending until the
// caller has stored what the notifications named (saveTempToken). Busy from start() until the
// caller says the step that followed has ended (finished()), so a second fetch never overlaps
// the storing of the first. Blocks run on the container's callback queue.
class iCloudChangeFetcher {
  public:
    using Continuation = std::function<void(bool)>;

    iCloudChangeFetcher(ck::Container& container, UserDefaults& defaults,
                        std::string changeTokenKey);

    // Starts one fetch from the stored token; `continuation` gets whether it succeeded.
    void start(Continuation continuation);
    void finished() { isBusy = false; }

    std::optional<ck::ServerChangeToken> loadToken() const;
    void storeToken(const ck::ServerChangeToken& token);
    // Stores the pending token, if any.
    void saveTempToken();
    // Forgets the stored and the pending token: the next fetch starts from the beginning.
    void dropToken();

    void notificationChanged(const ck::QueryNotification& notification);
    void fetchCompleted(const std::optional<ck::ServerChangeToken>& token,
                        const std::optional<ck::Error>& error, bool moreComing,
                        const Continuation& continuation);

    // "CREATED n; UPDATED n; DELETED n " over the whole run of the program.
    std::string description() const;

    std::vector<ck::RecordID> recordIDsCreated;
    std::vector<ck::RecordID> recordIDsUpdated;
    std::vector<ck::RecordID> recordIDsDeleted;
    // The created IDs of the latest fetch only: what its change step has to bring in.
    std::vector<ck::RecordID> createdByLastFetch;
    ck::Container& container;
    std::string changeTokenKey;
    bool isBusy = false;
    std::optional<ck::ServerChangeToken> tmpChangeToken;
    // The latest fetch left notifications on the server for another one.
    bool moreComing = false;
    // The latest fetch was refused because the stored token no longer counts.
    bool tokenExpired = false;

  private:
    UserDefaults& defaults_;
};

}  // namespace wv
