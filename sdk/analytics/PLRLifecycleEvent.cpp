#include "sdk/analytics/PLRLifecycleEvent.h"

namespace wv {

PLRLifecycleEvent::PLRLifecycleEvent(std::string name) : name_(std::move(name)) {}

PLRLifecycleEvent::PLRLifecycleEvent(const Notification& notification)
    : name_(nameFromNotification(notification)) {}

std::shared_ptr<PLRLifecycleEvent> PLRLifecycleEvent::eventWithNotification(const Notification& n) {
    return std::make_shared<PLRLifecycleEvent>(n);
}

std::shared_ptr<PLRLifecycleEvent> PLRLifecycleEvent::installEvent() {
    return std::make_shared<PLRLifecycleEvent>(std::string("app_installed"));
}

std::shared_ptr<PLRLifecycleEvent> PLRLifecycleEvent::appLaunchedEvent() {
    return std::make_shared<PLRLifecycleEvent>(std::string("app_launched"));
}

const std::map<std::string, std::string>& PLRLifecycleEvent::notificationNameMap() {
    static const std::map<std::string, std::string> map = {
        {"NSApplicationWillTerminateNotification", "app_terminated"},
        {"NSApplicationWillResignActiveNotification", "app_became_inactive"},
        {"NSApplicationDidBecomeActiveNotification", "app_became_active"},
    };
    return map;
}

std::string PLRLifecycleEvent::nameFromNotification(const Notification& notification) {
    const auto& map = notificationNameMap();
    const auto found = map.find(notification.name);
    return found == map.end() ? "unknown-notification" : found->second;
}

bool PLRLifecycleEvent::triggersFlush() const {
    return name_ == "app_became_inactive" || name_ == "app_became_active" ||
           name_ == "app_installed";
}

nlohmann::ordered_json PLRLifecycleEvent::dictionaryRepresentation() const {
    nlohmann::ordered_json payload = nlohmann::ordered_json::object();
    payload["eventId"] = identifier();
    return payload;
}

}  // namespace wv
