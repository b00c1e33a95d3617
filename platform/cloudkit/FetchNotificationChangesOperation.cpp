#include "platform/cloudkit/FetchNotificationChangesOperation.h"

#include "platform/cloudkit/ContainerCore.h"

namespace wv::ck {

std::function<void()> FetchNotificationChangesOperation::perform(const ServerAccess& access) {
    NotificationPage page;
    if (access.backend) {
        page = access.backend->fetchNotificationChanges(access.caller, previous_, resultsLimit_);
    } else {
        page.error = ContainerCore::unavailableError(access);
    }
    return [this, page = std::move(page)] {
        moreComing_ = page.moreComing;
        if (notificationChanged_) {
            for (const QueryNotification& n : page.notifications) notificationChanged_(n);
        }
        if (completion_) completion_(page.error ? std::nullopt : page.token, page.error);
    };
}

}  // namespace wv::ck
