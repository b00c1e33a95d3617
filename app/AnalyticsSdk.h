#pragma once

#include "engine/services/AnalyticsEvents.h"

namespace wv {

// The reporting SDK as the application drives it: started once, with its crash kit, then fed
// usage events. Starting again only logs that it was called more than once.
class AnalyticsSdk : public AnalyticsEvents {
  public:
    virtual void start() = 0;
    // The program is about to post its quit notice: an SDK whose start still waits starts
    // now, so its kits see that notice.
    virtual void applicationWillTerminate() {}
};

// What runs until the reporting SDK is plugged in: starts nothing and drops every event.
class NoAnalyticsSdk final : public AnalyticsSdk {
  public:
    void start() override {}
    void logLevelStart(const std::string&, const EventAttributes&) override {}
    void logLevelEnd(const std::string&, std::optional<int64_t>, std::optional<int64_t>,
                     const EventAttributes&) override {}
    void logCustomEvent(const std::string&, const EventAttributes&) override {}
    void logContentView(const std::string&, const std::optional<std::string>&,
                        const std::optional<std::string>&, const EventAttributes&) override {}
};

}  // namespace wv
