#pragma once

#include "app/AnalyticsSdk.h"
#include "engine/services/RecordingAnalyticsEvents.h"

namespace wv::test {

// Remembers the SDK's start and every event, and for each event whether the SDK had been
// started when it came.
class RecordingAnalyticsSdk : public AnalyticsSdk {
  public:
    void start() override { ++startCount; }
    void logLevelStart(const std::string& name, const EventAttributes& attributes) override {
        eventsBeforeStart += startCount == 0;
        events.logLevelStart(name, attributes);
    }
    void logLevelEnd(const std::string& name, std::optional<int64_t> score,
                     std::optional<int64_t> success, const EventAttributes& attributes) override {
        eventsBeforeStart += startCount == 0;
        events.logLevelEnd(name, score, success, attributes);
    }
    void logCustomEvent(const std::string& name, const EventAttributes& attributes) override {
        eventsBeforeStart += startCount == 0;
        events.logCustomEvent(name, attributes);
    }
    void logContentView(const std::string& name, const std::optional<std::string>& type,
                        const std::optional<std::string>& id,
                        const EventAttributes& attributes) override {
        eventsBeforeStart += startCount == 0;
        events.logContentView(name, type, id, attributes);
    }

    const std::vector<RecordingAnalyticsEvents::Event>& list() const { return events.events; }

    int startCount = 0;
    int eventsBeforeStart = 0;
    RecordingAnalyticsEvents events;
};

}  // namespace wv::test
