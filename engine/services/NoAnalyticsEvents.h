#pragma once

#include "engine/services/AnalyticsEvents.h"

namespace wv {

// Drops every event: what the engine uses until the reporting SDK is plugged in.
class NoAnalyticsEvents : public AnalyticsEvents {
  public:
    void logLevelStart(const std::string&, const EventAttributes&) override {}
    void logLevelEnd(const std::string&, std::optional<int64_t>, std::optional<int64_t>,
                     const EventAttributes&) override {}
    void logCustomEvent(const std::string&, const EventAttributes&) override {}
    void logContentView(const std::string&, const std::optional<std::string>&,
                        const std::optional<std::string>&, const EventAttributes&) override {}
};

}  // namespace wv
