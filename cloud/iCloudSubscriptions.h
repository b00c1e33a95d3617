#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/cloudkit/Database.h"

namespace wv {

// Makes sure a database holds a subscription: fetches what it holds and, only when it holds
// none at all, saves the one makeSubscription builds. Each completion runs exactly once, on
// the container's callback queue.
class iCloudSubscriptions {
  public:
    using Completion = std::function<void(bool)>;

    explicit iCloudSubscriptions(ck::Database& cloudDB) : cloudDB_(cloudDB) {}
    virtual ~iCloudSubscriptions() = default;
    iCloudSubscriptions(const iCloudSubscriptions&) = delete;
    iCloudSubscriptions& operator=(const iCloudSubscriptions&) = delete;

    // True when the database holds, or now holds, a subscription.
    void fetchAll(Completion completion);

    std::vector<ck::Subscription> subscriptions;
    bool wasFetched = false;

  protected:
    // Saves this kind's subscription; the base kind has none and reports false.
    virtual void makeSubscription(Completion completion);
    void subscriptionSaved(const std::optional<ck::Subscription>& saved,
                           const std::optional<ck::Error>& error, const Completion& completion);
    ck::Database& cloudDB() { return cloudDB_; }

  private:
    void fetchAllCompleted(const std::optional<std::vector<ck::Subscription>>& fetched,
                           const std::optional<ck::Error>& error, const Completion& next);
    void subscribeIfNeeded(bool ok, const Completion& completion);
    void subscribed(bool ok, const Completion& completion);

    ck::Database& cloudDB_;
};

}  // namespace wv
