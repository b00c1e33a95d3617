#include "cloud/WVCloudLogic.h"

#include "cloud/CloudConstants.h"
#include "platform/foundation/Log.h"

namespace wv {

WVCloudLogic::WVCloudLogic(ck::Container& container, UserDefaults& defaults, LessonStats& stats,
                           bool accountCheck)
    : container(container),
      publicDB(container.publicCloudDatabase()),
      privateDB(container.privateCloudDatabase()),
      pusher(privateDB, stats, kLessonRecordType),
      deleter(privateDB),
      fetcher(privateDB, stats),
      subscriber(privateDB, kLessonRecordType),
      changeFetcher(container, defaults, kChangeTokenKey),
      stats_(stats),
      defaults_(defaults) {
    if (!accountCheck) return;
    // Followed for the whole run: a sign-out stops the queueing, a sign-in syncs again.
    accountObserver_ = NotificationCenter::defaultCenter().addObserver(
        ck::ContainerCore::kAccountChangedNotification, &container,
        [this](const Notification&) { checkAccountStatus(); });
    checkAccountStatus();
}

WVCloudLogic::~WVCloudLogic() {
    if (accountObserver_) NotificationCenter::defaultCenter().removeObserver(accountObserver_);
    if (batchTimer) batchTimer->invalidate();
}

void WVCloudLogic::checkAccountStatus() {
    container.accountStatusWithCompletionHandler(
        [this](ck::AccountStatus status, const auto&) { accountStatusReceived(status); });
}

void WVCloudLogic::accountStatusReceived(ck::AccountStatus status) {
    const ck::AccountStatus previous = accountStatus;
    accountStatus = status;
    const bool available = status == ck::AccountStatus::Available;
    if (!available) {
        // What was queued goes up with the next synchronisation's push step instead.
        batchQueue.clear();
        if (batchTimer) batchTimer->invalidate();
        batchTimer.reset();
    } else if (previous != ck::AccountStatus::Available) {
        adoptAccount();
        onReady();
    }
    Log::print(std::string("WVCloud isAuthenticated ") + (available ? "true" : "false") +
               ", status: " + std::to_string(int(status)));
}

void WVCloudLogic::adoptAccount() {
    const std::string& account = container.core()->configuration().account;
    auto stored = defaults_.objectForKey(kSyncedAccountKey);
    const std::string* before = stored ? stored->get<std::string>() : nullptr;
    if (before && *before == account) return;
    if (before) {
        Log::print("WVCloud account changed: forgetting the links of " + *before);
        pusher.cloudSyncDB().removeAll();
        pusher.pendingNames().removeAll();
        changeFetcher.dropToken();
    }
    defaults_.setObject(kSyncedAccountKey, plist::Value(account));
}

void WVCloudLogic::addLessonToBatch(LessonInfoPtr lesson) {
    if (accountStatus != ck::AccountStatus::Available || !lesson) return;
    batchQueue.push_back(std::move(lesson));
    if (batchTimer) return;
    Log::print("WVCloud going to create batch timer for 1.0 secons");
    batchTimer = Timer::scheduled(kBatchInterval, false, [this](Timer&) { flushBatch(); });
}

void WVCloudLogic::flushBatch() {
    if (batchTimer) batchTimer->invalidate();
    batchTimer.reset();
    std::vector<LessonInfoPtr> taken;
    taken.swap(batchQueue);
    if (accountStatus != ck::AccountStatus::Available) {
        Log::print("WVCloud batch queue PUSHED " + std::to_string(pusher.pushedRecordsNumbers));
        return;
    }
    pusher.pushLessons(std::move(taken), [this](bool) {
        Log::print("WVCloud batch queue PUSHED " + std::to_string(pusher.pushedRecordsNumbers));
    });
}

}  // namespace wv
