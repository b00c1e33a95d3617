#include <gtest/gtest.h>

#include "engine/LessonStats.h"
#include "engine/services/ModelServices.h"
#include "engine/services/NoCloud.h"
#include "engine/services/RecordingAnalyticsEvents.h"
#include "engine/services/RecordingCloudKeyValue.h"

namespace wv {
namespace {

plist::Dictionary settings(int64_t language) {
    plist::Dictionary d;
    d.set("language", language);
    return d;
}

TEST(ModelServicesTest, EmptyEntriesBecomeServicesThatDoNothing) {
    ModelServices services = ModelServices{}.completed();
    ASSERT_TRUE(services.makeCloud);
    ASSERT_TRUE(services.makeCloudKeyValue);
    ASSERT_TRUE(services.analytics);
    auto keyValue = services.makeCloudKeyValue();
    ASSERT_TRUE(keyValue);
    keyValue->save(settings(3));
    EXPECT_FALSE(keyValue->dictionaryForKey("config"));
    EXPECT_TRUE(keyValue->didChange.value().empty());
}

TEST(ModelServicesTest, GivenEntriesAreKept) {
    auto analytics = std::make_shared<RecordingAnalyticsEvents>();
    int cloudsMade = 0;
    ModelServices given;
    given.analytics = analytics;
    given.makeCloud = [&](LessonStats&) {
        ++cloudsMade;
        return std::make_unique<NoCloud>();
    };
    ModelServices services = given.completed();
    EXPECT_EQ(services.analytics, analytics);
    LessonStats stats(":memory:", 4);
    services.makeCloud(stats);
    EXPECT_EQ(cloudsMade, 1);
}

TEST(RecordingCloudKeyValueTest, KeepsOnlySavesThatChangeTheStoredSettings) {
    RecordingCloudKeyValue store;
    store.save(settings(1));
    store.save(settings(1));
    store.save(settings(2));
    EXPECT_EQ(store.saves.size(), 3u);
    EXPECT_EQ(store.storedCount, 2);
    EXPECT_EQ(store.dictionaryForKey("config"), settings(2));
    EXPECT_FALSE(store.dictionaryForKey("other"));
}

}  // namespace
}  // namespace wv
