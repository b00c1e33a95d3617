#include "cloud/WVCloudSubscriptions.h"

namespace wv {

ck::Subscription WVCloudSubscriptions::subscription() const {
    ck::Subscription made(
        recordType, ck::Predicate::withValue(true),
        ck::Subscription::FiresOnRecordCreation | ck::Subscription::FiresOnRecordUpdate);
    ck::NotificationInfo info;
    info.shouldSendContentAvailable = true;
    info.soundName = "";
    made.setNotificationInfo(info);
    return made;
}

void WVCloudSubscriptions::makeSubscription(Completion completion) {
    cloudDB().saveSubscription(subscription(),
                               [this, completion](const auto& saved, const auto& error) {
                                   subscriptionSaved(saved, error, completion);
                               });
}

}  // namespace wv
