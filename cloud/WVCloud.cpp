#include "cloud/WVCloud.h"

#include "cloud/CloudConstants.h"
#include "engine/Model.h"
#include "platform/foundation/Log.h"

namespace wv {

namespace {
std::string flag(bool on) { return on ? "true" : "false"; }
}  // namespace

WVCloud::WVCloud(ck::Container& container, UserDefaults& defaults, LessonStats& stats,
                 bool accountCheck, bool syncOnReady)
    : WVCloudLogic(container, defaults, stats, accountCheck), syncOnReady(syncOnReady) {}

void WVCloud::onReady() {
    if (!syncOnReady) return;
    Log::print("WVCloud READY (isAuthenticated = true)");
    if (isRunningTests()) return;
    if (stats().db().count(iCloudSyncDBTable::kName) == 0) {
        fetchAllRecords();
    } else {
        subscriber.fetchAll([this](bool ok) { subscriberSync(ok); });
    }
}

void WVCloud::fetchAllRecords() {
    if (accountStatus != ck::AccountStatus::Available || fetcher.isBusy) {
        fetchAllRecordsDone(false);
        return;
    }
    fetcher.reset();
    fetcher.start(allRecordsQuery(), [this](bool ok) {
        fetcher.allQueriesCompleted(ok, [this](bool stored) { fetchAllRecordsDone(stored); });
    });
}

void WVCloud::fetchAllRecordsDone(bool ok) {
    Log::print("WVCloud fetchAllRecords: " + flag(ok) + ". " + fetcher.description());
    if (ok) subscriber.fetchAll([this](bool subscribed) { subscriberSync(subscribed); });
}

void WVCloud::subscriberSync(bool ok) {
    Log::print("WVCloud subscriber sync: " + flag(ok) + ". " + "subscriptions count " +
               std::to_string(subscriber.subscriptions.size()));
    if (!ok) return;
    if (changeFetcher.isBusy) {
        // A notification's fetch is running: the chain's own fetch follows it, so the push
        // step is not lost.
        chainWaiting_ = true;
        return;
    }
    startChangeFetch(Following::Chain);
}

void WVCloud::startChangeFetch(Following following, bool retried) {
    changeFetcher.start(
        [this, following, retried](bool ok) { changeFetchDone(ok, following, retried); });
}

void WVCloud::changeFetchDone(bool ok, Following following, bool retried) {
    Log::print("WVCloud change fetch: " + flag(ok) + ". " + changeFetcher.description());
    if (!ok) {
        if (changeFetcher.tokenExpired && !retried) {
            // The expired token is gone: the same step again, from the server's first
            // notification.
            startChangeFetch(following, true);
            return;
        }
        endChangeFetch();
        return;
    }
    const auto ids = changeFetcher.createdByLastFetch;
    if (following == Following::Chain) {
        fetcher.fetchChangedRecords(ids, [this](bool stored) { fetchAndSaveThenPush(stored); });
    } else {
        fetcher.fetchNotifiedRecords(ids, [this](bool stored) { fetchAndSaveDone(stored); });
    }
}

void WVCloud::fetchAndSaveThenPush(bool ok) {
    Log::print("WVCloud fetch and save: " + flag(ok) + ". " + fetcher.description());
    // The token moves only past what was stored; otherwise the next fetch asks again.
    if (ok) changeFetcher.saveTempToken();
    endChangeFetch();
    pusher.pushLessons(stats().lessonsList(), [this](bool pushed) { pushDone(pushed); });
}

void WVCloud::fetchAndSaveDone(bool ok) {
    Log::print("WVCloud fetch and save: " + flag(ok) + ". " + fetcher.description());
    if (ok) changeFetcher.saveTempToken();
    endChangeFetch();
}

void WVCloud::pushDone(bool ok) {
    Log::print("WVCloud push to cloud: " + flag(ok) + ". " + "PUSHED " +
               std::to_string(pusher.pushedRecordsNumbers));
    Log::print("WVCloud synchronization complete");
}

void WVCloud::endChangeFetch() {
    const bool more = changeFetcher.moreComing;
    changeFetcher.finished();
    if (chainWaiting_) {
        chainWaiting_ = false;
        refetchWanted_ = false;
        startChangeFetch(Following::Chain);
        return;
    }
    if (refetchWanted_ || more) {
        refetchWanted_ = false;
        startChangeFetch(Following::Notified);
    }
}

void WVCloud::fetchChanges() {
    if (changeFetcher.isBusy) {
        Log::print("WVCloud change fetch: false. " + changeFetcher.description());
        refetchWanted_ = true;
        return;
    }
    startChangeFetch(Following::Notified);
}

}  // namespace wv
