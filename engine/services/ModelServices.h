#pragma once

#include <functional>
#include <memory>

#include "engine/WVCloudProtocol.h"
#include "engine/services/AnalyticsEvents.h"
#include "engine/services/WVCloudKeyValueProtocol.h"

namespace wv {

class LessonStats;

// What the hub needs from the layers above the engine (the cloud and the reporting SDK). The
// application hands in the real ones before the hub is first used; tests hand in recording
// ones. Whatever is left empty, or made as nothing, is replaced by a do-nothing service.
struct ModelServices {
    // Makes the cloud service for the statistics store; called once while the hub is built,
    // after the store is open.
    std::function<std::unique_ptr<WVCloudProtocol>(LessonStats&)> makeCloud;
    // Makes the key-value store wrapper; called once, early while the hub is built.
    std::function<std::unique_ptr<WVCloudKeyValueProtocol>()> makeCloudKeyValue;
    std::shared_ptr<AnalyticsEvents> analytics;

    // This set with every empty entry filled by its do-nothing service.
    ModelServices completed() const;
};

}  // namespace wv
