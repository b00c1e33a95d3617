#pragma once

#include <string>

#include "platform/cloudkit/Query.h"

namespace wv::ck {

// What the server sends with a subscription's push.
struct NotificationInfo {
    bool shouldSendContentAvailable = false;
    std::string soundName;
    bool operator==(const NotificationInfo&) const = default;
};

// A query subscription: the server adds a notification for the subscriber whenever a save or
// delete of a record of the type matches the predicate and the event is among the options.
class Subscription {
  public:
    enum Options : int {
        FiresOnRecordCreation = 1,
        FiresOnRecordUpdate = 2,
        FiresOnRecordDeletion = 4,
    };

    // Without an identifier the subscription gets a fresh random one.
    Subscription(std::string recordType, Predicate predicate, int options);
    Subscription(std::string subscriptionID, std::string recordType, Predicate predicate,
                 int options);

    const std::string& subscriptionID() const { return subscriptionID_; }
    const std::string& recordType() const { return recordType_; }
    const Predicate& predicate() const { return predicate_; }
    int options() const { return options_; }
    const NotificationInfo& notificationInfo() const { return notificationInfo_; }
    void setNotificationInfo(NotificationInfo info) { notificationInfo_ = std::move(info); }

    bool operator==(const Subscription&) const = default;

  private:
    std::string subscriptionID_;
    std::string recordType_;
    Predicate predicate_;
    int options_;
    NotificationInfo notificationInfo_;
};

}  // namespace wv::ck
