#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/Model.h"
#include "engine/RecordingCloud.h"
#include "engine/services/RecordingAnalyticsEvents.h"
#include "engine/services/RecordingCloudKeyValue.h"
#include "platform/foundation/Folders.h"

namespace wv::testing {

// Every test gets a data folder of its own (below the one the test main made), and the model's
// services are recording ones that outlive each model built in the test.
class ModelFixture : public ::testing::Test {
  protected:
    ModelFixture() {
        static std::atomic<int> next{0};
        const auto base = Folders::dataHome();
        dataHome = base.parent_path() / ("model-data-" + std::to_string(next++));
        std::filesystem::create_directories(dataHome);
        previousDataHome = base.string();
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    }
    ~ModelFixture() override { setenv("XDG_DATA_HOME", previousDataHome.c_str(), 1); }

    // A model over the test's folder; the last cloud and key-value store it made are kept in
    // `cloud` and `keyValue`.
    std::unique_ptr<Model> makeModel(WordGeneratorFactory makeGenerator = {}) {
        ModelServices services;
        services.analytics = analytics;
        services.makeCloud = [this](LessonStats&) {
            auto made = std::make_unique<RecordingCloud>();
            cloud = made.get();
            return made;
        };
        services.makeCloudKeyValue = [this] {
            auto made = std::make_unique<RecordingCloudKeyValue>();
            keyValue = made.get();
            return made;
        };
        return std::make_unique<Model>(services, std::move(makeGenerator));
    }

    std::filesystem::path supportFolder() const { return dataHome / "com.wovanu.typing"; }
    std::filesystem::path configFile() const { return supportFolder() / "config.plist"; }

    std::filesystem::path dataHome;
    std::string previousDataHome;
    std::shared_ptr<RecordingAnalyticsEvents> analytics =
        std::make_shared<RecordingAnalyticsEvents>();
    RecordingCloud* cloud = nullptr;
    RecordingCloudKeyValue* keyValue = nullptr;
};

}  // namespace wv::testing
