#pragma once

#include <functional>
#include <optional>

#include "platform/cloudkit/CloudOperation.h"

namespace wv::ck {

// Fetches the account's notifications that follow a change token (from the first without
// one), at most the results limit or the server's limit. Each comes to the notification
// block; the completion gets the new token (every successful fetch gives one) or the error,
// and moreComing() then tells whether the server holds more after that token.
class FetchNotificationChangesOperation : public CloudOperation {
  public:
    using Completion =
        std::function<void(const std::optional<ServerChangeToken>&, const std::optional<Error>&)>;

    explicit FetchNotificationChangesOperation(
        std::optional<ServerChangeToken> previousServerChangeToken = std::nullopt)
        : previous_(std::move(previousServerChangeToken)) {}

    const std::optional<ServerChangeToken>& previousServerChangeToken() const { return previous_; }
    int64_t resultsLimit() const { return resultsLimit_; }
    void setResultsLimit(int64_t limit) { resultsLimit_ = limit; }
    bool moreComing() const { return moreComing_; }
    void setNotificationChangedBlock(std::function<void(const QueryNotification&)> block) {
        notificationChanged_ = std::move(block);
    }
    void setFetchNotificationChangesCompletionBlock(Completion block) {
        completion_ = std::move(block);
    }

  protected:
    std::function<void()> perform(const ServerAccess& access) override;

  private:
    std::optional<ServerChangeToken> previous_;
    int64_t resultsLimit_ = 0;
    bool moreComing_ = false;
    std::function<void(const QueryNotification&)> notificationChanged_;
    Completion completion_;
};

}  // namespace wv::ck
