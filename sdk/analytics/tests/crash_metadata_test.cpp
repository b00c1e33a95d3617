#include <gtest/gtest.h>

#include <fstream>

#include "AnalyticsFixtures.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/WallClock.h"
#include "sdk/analytics/PLRCrashMetadata.h"
#include "sdk/analytics/PLRRotateCrashMetadataOperation.h"

namespace wv {
namespace {

using json = nlohmann::ordered_json;
const auto kFirstStart = WallClock::TimePoint(std::chrono::milliseconds(1700000000900));
const auto kSecondStart = WallClock::TimePoint(std::chrono::seconds(1700003600));

class PLRCrashMetadataTest : public ::testing::Test {
  protected:
    PLRCrashMetadataTest()
        : root_(run_.root() / "analytics"),
          metadata_(std::make_shared<PLRMetadata>(run_.tarnel(), std::nullopt)) {
        std::filesystem::create_directories(root_);
    }

    std::shared_ptr<PLRRotateCrashMetadataOperation> rotate(WallClock::TimePoint at) {
        ScopedWallClock clock(std::make_shared<FixedWallClock>(at));
        auto op = std::make_shared<PLRRotateCrashMetadataOperation>(file(), metadata_);
        op->main();
        return op;
    }
    std::filesystem::path file() const { return root_ / "crash_metadata"; }
    json stored() const {
        std::ifstream in(file());
        return json::parse(in);
    }

    LogCapture log_;
    testing::HostRun run_{testing::HostRun::info()};
    std::filesystem::path root_;
    std::shared_ptr<PLRMetadata> metadata_;
};

TEST_F(PLRCrashMetadataTest, TheSecondStartGetsTheFirstStartsDictionary) {
    const auto first = rotate(kFirstStart);
    EXPECT_EQ(first->crashMetadata()->rawMetadataDictionary(), json::object());
    EXPECT_EQ(first->currentMetadataDictionary()["started_at"], 1700000000u);
    EXPECT_EQ(stored(), first->currentMetadataDictionary());

    const auto second = rotate(kSecondStart);
    const json& previous = second->crashMetadata()->rawMetadataDictionary();
    EXPECT_EQ(previous, first->currentMetadataDictionary());
    EXPECT_EQ(previous.dump(), first->currentMetadataDictionary().dump());  // order kept
    EXPECT_EQ(previous["started_at"], 1700000000u);
    EXPECT_EQ(previous["session_id"], run_.tarnel().executionIdentifier());
    EXPECT_EQ(stored()["started_at"], 1700003600u);
    // The previous run's record keeps its own start time whatever the file's opening event.
    EXPECT_EQ(second->crashMetadata()->dictionaryRepresentationWithStartTime(5), previous);
    EXPECT_EQ(second->crashMetadata()->eventName(), "metadata");

    // Compact JSON that an outside reader accepts.
    const std::string text = [&] {
        std::ifstream in(file());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(std::system(("python3 -m json.tool " + file().string() + " >/dev/null").c_str()), 0);
    // Nothing but the file is left in the folder.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(root_)) ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST_F(PLRCrashMetadataTest, ADeletedFileGivesAnEmptyRecord) {
    rotate(kFirstStart);
    std::filesystem::remove(file());
    const auto second = rotate(kSecondStart);
    EXPECT_EQ(second->crashMetadata()->rawMetadataDictionary(), json::object());
    EXPECT_EQ(stored()["started_at"], 1700003600u);
}

TEST_F(PLRCrashMetadataTest, UnreadableFilesGiveAnEmptyRecordAndAreReplaced) {
    const auto good = json{{"session_id", "abc"}, {"started_at", 1}}.dump();
    const std::string contents[] = {
        "", good.substr(0, good.size() / 2), "not json", "[1,2]", "\"text\"", "\xFF\xFE"};
    for (const auto& content : contents) {
        std::ofstream(file(), std::ios::binary | std::ios::trunc) << content;
        const auto op = rotate(kSecondStart);
        EXPECT_EQ(op->crashMetadata()->rawMetadataDictionary(), json::object()) << content;
        EXPECT_EQ(stored(), op->currentMetadataDictionary()) << content;
    }
    // A folder in the file's place.
    std::filesystem::remove(file());
    std::filesystem::create_directories(file() / "inside");
    const auto op = rotate(kSecondStart);
    EXPECT_EQ(op->crashMetadata()->rawMetadataDictionary(), json::object());
    EXPECT_EQ(stored(), op->currentMetadataDictionary());
}

TEST_F(PLRCrashMetadataTest, AFailedWriteLeavesNoFileBehind) {
    const auto missing = root_ / "no-such-folder" / "crash_metadata";
    EXPECT_FALSE(PLRCrashMetadata::writeSerializedDictionary(json{{"a", 1}}, missing));
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
    EXPECT_FALSE(PLRCrashMetadata::readSerializedDictionaryFromURL(missing));
}

}  // namespace
}  // namespace wv
