#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace wv {

// Text attributes of one usage event.
using EventAttributes = std::map<std::string, std::string>;

// Every usage event the application sends goes out only while this holds. It is true for the
// whole process; the switch exists so that one place decides.
inline constexpr bool analyticsEnabled = true;

// The event entry points of the reporting SDK, as the application calls them. Events are fire
// and forget: nothing comes back.
class AnalyticsEvents {
  public:
    virtual ~AnalyticsEvents() = default;

    virtual void logLevelStart(const std::string& levelName, const EventAttributes& attributes) = 0;
    // `score` and `success` are optional numbers; none leaves them out of the event.
    virtual void logLevelEnd(const std::string& levelName, std::optional<int64_t> score,
                             std::optional<int64_t> success, const EventAttributes& attributes) = 0;
    virtual void logCustomEvent(const std::string& name, const EventAttributes& attributes) = 0;
    // One screen or page the learner looked at; type and id are left out when absent.
    virtual void logContentView(const std::string& name, const std::optional<std::string>& type,
                                const std::optional<std::string>& id,
                                const EventAttributes& attributes) = 0;
};

}  // namespace wv
