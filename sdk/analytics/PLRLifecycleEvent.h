#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "sdk/analytics/PLREvent.h"

namespace wv {

// An event of the application's own life. Installs and changes of activity ask for the log
// to be flushed at once; launches and terminations wait for the next flush.
class PLRLifecycleEvent : public PLREvent {
  public:
    explicit PLRLifecycleEvent(std::string name);
    explicit PLRLifecycleEvent(const Notification& notification);

    static std::shared_ptr<PLRLifecycleEvent> eventWithNotification(const Notification& n);
    static std::shared_ptr<PLRLifecycleEvent> installEvent();
    static std::shared_ptr<PLRLifecycleEvent> appLaunchedEvent();
    static const std::map<std::string, std::string>& notificationNameMap();
    // The event name for a notification; "unknown-notification" for one not in the map.
    static std::string nameFromNotification(const Notification& notification);

    std::string name() const override { return name_; }
    bool triggersFlush() const override;
    nlohmann::ordered_json dictionaryRepresentation() const override;

  private:
    std::string name_;
};

}  // namespace wv
