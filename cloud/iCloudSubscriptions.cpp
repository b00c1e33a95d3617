#include "cloud/iCloudSubscriptions.h"

#include "platform/foundation/Log.h"

namespace wv {

namespace {
const char* flag(bool on) { return on ? "true" : "false"; }
}  // namespace

void iCloudSubscriptions::fetchAll(Completion completion) {
    cloudDB_.fetchAllSubscriptionsWithCompletionHandler(
        [this, completion](const auto& fetched, const auto& error) {
            fetchAllCompleted(fetched, error,
                              [this, completion](bool ok) { subscribeIfNeeded(ok, completion); });
        });
}

void iCloudSubscriptions::fetchAllCompleted(
    const std::optional<std::vector<ck::Subscription>>& fetched,
    const std::optional<ck::Error>& error, const Completion& next) {
    if (error) {
        Log::print("fetchAllSubscriptions error: " + error->description());
        next(false);
        return;
    }
    if (fetched) subscriptions = *fetched;
    wasFetched = !subscriptions.empty();
    next(true);
}

void iCloudSubscriptions::subscribeIfNeeded(bool ok, const Completion& completion) {
    Log::print(std::string("WVCloud subscriptions fetch: ") + flag(ok) + " ");
    Log::print("WVCloud subscriptions count: " + std::to_string(subscriptions.size()) + " ");
    if (!ok) {
        if (completion) completion(false);
    } else if (subscriptions.empty()) {
        makeSubscription([this, completion](bool saved) { subscribed(saved, completion); });
    } else if (completion) {
        completion(true);
    }
}

void iCloudSubscriptions::makeSubscription(Completion completion) {
    if (completion) completion(false);
}

void iCloudSubscriptions::subscriptionSaved(const std::optional<ck::Subscription>& saved,
                                            const std::optional<ck::Error>& error,
                                            const Completion& completion) {
    if (error) {
        Log::print("save subscription error: " + error->description());
        if (completion) completion(false);
        return;
    }
    if (saved) subscriptions.push_back(*saved);
    if (completion) completion(true);
}

void iCloudSubscriptions::subscribed(bool ok, const Completion& completion) {
    Log::print(std::string("WVCloud subscribe: ") + flag(ok) + " ");
    if (completion) completion(ok);
}

}  // namespace wv
