#include "cloud/iCloudChangeFetcher.h"

#include <memory>

#include "platform/cloudkit/FetchNotificationChangesOperation.h"
#include "platform/foundation/Log.h"

namespace wv {

iCloudChangeFetcher::iCloudChangeFetcher(ck::Container& container, UserDefaults& defaults,
                                         std::string changeTokenKey)
    : container(container), changeTokenKey(std::move(changeTokenKey)), defaults_(defaults) {}

void iCloudChangeFetcher::start(Continuation continuation) {
    auto operation = std::make_shared<ck::FetchNotificationChangesOperation>(loadToken());
    createdByLastFetch.clear();
    moreComing = false;
    tokenExpired = false;
    operation->setNotificationChangedBlock(
        [this](const ck::QueryNotification& notification) { notificationChanged(notification); });
    ck::FetchNotificationChangesOperation* raw = operation.get();
    operation->setFetchNotificationChangesCompletionBlock(
        [this, raw, continuation](const auto& token, const auto& error) {
            fetchCompleted(token, error, raw->moreComing(), continuation);
        });
    isBusy = true;
    container.addOperation(operation);
}

std::optional<ck::ServerChangeToken> iCloudChangeFetcher::loadToken() const {
    auto value = defaults_.objectForKey(changeTokenKey);
    if (!value) return std::nullopt;
    const plist::Data* data = value->get<plist::Data>();
    if (!data) return std::nullopt;
    return ck::ServerChangeToken::unarchive(*data);
}

void iCloudChangeFetcher::storeToken(const ck::ServerChangeToken& token) {
    defaults_.setObject(changeTokenKey, plist::Value(token.archive()));
}

void iCloudChangeFetcher::saveTempToken() {
    if (!tmpChangeToken) return;
    storeToken(*tmpChangeToken);
    tmpChangeToken.reset();
    Log::print("iCloud CHANGE TOKEN saved");
}

void iCloudChangeFetcher::dropToken() {
    defaults_.removeObjectForKey(changeTokenKey);
    tmpChangeToken.reset();
}

void iCloudChangeFetcher::notificationChanged(const ck::QueryNotification& notification) {
    if (!notification.isQueryNotification() || !notification.recordID) return;
    const ck::RecordID& id = *notification.recordID;
    switch (notification.queryNotificationReason) {
        case ck::QueryNotification::RecordUpdated:
            recordIDsUpdated.push_back(id);
            break;
        case ck::QueryNotification::RecordDeleted:
            recordIDsDeleted.push_back(id);
            break;
        default:
            recordIDsCreated.push_back(id);
            createdByLastFetch.push_back(id);
            break;
    }
}

void iCloudChangeFetcher::fetchCompleted(const std::optional<ck::ServerChangeToken>& token,
                                         const std::optional<ck::Error>& error, bool more,
                                         const Continuation& continuation) {
    if (error) {
        Log::print("fetchNotificationChangesCompletionBlock ERROR: " + error->description());
        if (error->code() == ck::ErrorCode::ChangeTokenExpired) {
            // Kept, it would refuse every later fetch too.
            dropToken();
            tokenExpired = true;
        }
        if (continuation) continuation(false);
        return;
    }
    moreComing = more;
    if (token) {
        tmpChangeToken = token;
        Log::print("iCloud NEW CHANGE TOKEN received. Call saveTempToken to save it");
    }
    if (continuation) continuation(true);
}

std::string iCloudChangeFetcher::description() const {
    return "CREATED " + std::to_string(recordIDsCreated.size()) + "; UPDATED " +
           std::to_string(recordIDsUpdated.size()) + "; DELETED " +
           std::to_string(recordIDsDeleted.size()) + " ";
}

}  // namespace wv
