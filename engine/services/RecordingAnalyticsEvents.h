#pragma once

#include <vector>

#include "engine/services/AnalyticsEvents.h"

namespace wv {

// Remembers every event in the order it was sent, for tests.
class RecordingAnalyticsEvents : public AnalyticsEvents {
  public:
    enum class Kind { LevelStart, LevelEnd, Custom, ContentView };
    struct Event {
        Kind kind;
        std::string name;
        std::optional<int64_t> score;
        std::optional<int64_t> success;
        EventAttributes attributes;
        std::optional<std::string> contentType = std::nullopt;
        std::optional<std::string> contentId = std::nullopt;
        bool operator==(const Event&) const = default;
    };

    void logLevelStart(const std::string& levelName, const EventAttributes& attributes) override {
        events.push_back({Kind::LevelStart, levelName, std::nullopt, std::nullopt, attributes});
    }
    void logLevelEnd(const std::string& levelName, std::optional<int64_t> score,
                     std::optional<int64_t> success, const EventAttributes& attributes) override {
        events.push_back({Kind::LevelEnd, levelName, score, success, attributes});
    }
    void logCustomEvent(const std::string& name, const EventAttributes& attributes) override {
        events.push_back({Kind::Custom, name, std::nullopt, std::nullopt, attributes});
    }
    void logContentView(const std::string& name, const std::optional<std::string>& type,
                        const std::optional<std::string>& id,
                        const EventAttributes& attributes) override {
        events.push_back(
            {Kind::ContentView, name, std::nullopt, std::nullopt, attributes, type, id});
    }

    std::vector<Event> events;
};

}  // namespace wv
