#include <gtest/gtest.h>

#include <algorithm>

#include "cloud/WVCloudLessonFetcher.h"
#include "platform/cloudkit/Container.h"
#include "platform/foundation/Folders.h"

namespace wv {
namespace {

// A fetcher over an installation without a cloud: ordering and reading need no server.
class LessonFetcherTest : public ::testing::Test {
  protected:
    LessonFetcherTest() {
        auto dir = Folders::dataHome() / "fetcher";
        std::filesystem::create_directories(dir);
        std::filesystem::remove(dir / "statistics.db");
        stats_ = std::make_unique<LessonStats>(dir / "statistics.db", 4);
        ck::CloudConfiguration none;
        none.supportFolder = dir / "support";
        container_ = std::make_unique<ck::Container>(none);
        fetcher_ =
            std::make_unique<WVCloudLessonFetcher>(container_->privateCloudDatabase(), *stats_);
    }

    static ck::Record record(const std::string& name, std::optional<std::string> time,
                             std::optional<int64_t> localID) {
        ck::Record r("WVLessonStats", ck::RecordID(name));
        if (time) r.setObject("localTime", *time);
        if (localID) r.setObject("localID", *localID);
        return r;
    }

    std::vector<std::string> sortedNames(std::vector<ck::Record> records) {
        std::sort(records.begin(), records.end(),
                  [&](const auto& a, const auto& b) { return fetcher_->recordPrecedes(a, b); });
        std::vector<std::string> names;
        for (const auto& r : records) names.push_back(r.recordID().recordName());
        return names;
    }

    std::unique_ptr<LessonStats> stats_;
    std::unique_ptr<ck::Container> container_;
    std::unique_ptr<WVCloudLessonFetcher> fetcher_;
};

TEST_F(LessonFetcherTest, RecordsSortByTimeThenLocalIdThenName) {
    struct Case {
        const char* what;
        std::vector<ck::Record> records;
        std::vector<std::string> order;
    };
    const std::vector<Case> cases = {
        {"times decide",
         {record("c", "2026-01-01 10:00:02", 1), record("a", "2026-01-01 10:00:00", 3),
          record("b", "2026-01-01 10:00:01", 2)},
         {"a", "b", "c"}},
        {"equal times: local ids",
         {record("x", "2026-01-01 10:00:00", 9), record("y", "2026-01-01 10:00:00", 4)},
         {"y", "x"}},
        {"equal times and ids: names",
         {record("n2", "2026-01-01 10:00:00", 1), record("n1", "2026-01-01 10:00:00", 1)},
         {"n1", "n2"}},
        {"times that do not parse come last, among themselves by local id",
         {record("late", "garbage", 1), record("missing", std::nullopt, 0),
          record("early", "2030-01-01 00:00:00", 99)},
         {"early", "missing", "late"}},
    };
    for (const auto& c : cases) EXPECT_EQ(sortedNames(c.records), c.order) << c.what;
}

// The order is a strict weak ordering, so a sort never sees a contradiction: irreflexive,
// asymmetric and transitive over a mixed set.
TEST_F(LessonFetcherTest, TheOrderIsStrictAndWeak) {
    std::vector<ck::Record> mixed = {
        record("a", "2026-01-01 10:00:00", 2),   record("b", "bad", 2),
        record("c", std::nullopt, std::nullopt), record("d", "2026-01-01 10:00:00", 1),
        record("e", "2025-12-31 23:59:59", 5),   record("f", "bad", 1)};
    for (const auto& x : mixed) {
        EXPECT_FALSE(fetcher_->recordPrecedes(x, x));
        for (const auto& y : mixed) {
            if (fetcher_->recordPrecedes(x, y)) EXPECT_FALSE(fetcher_->recordPrecedes(y, x));
            for (const auto& z : mixed) {
                if (fetcher_->recordPrecedes(x, y) && fetcher_->recordPrecedes(y, z))
                    EXPECT_TRUE(fetcher_->recordPrecedes(x, z));
            }
        }
    }
}

TEST_F(LessonFetcherTest, ARecordBecomesTheFourteenColumnsOfARow) {
    ck::Record r("WVLessonStats", ck::RecordID("R"));
    const std::vector<std::pair<std::string, ck::FieldValue>> fields = {
        {"localID", int64_t(5)},
        {"localTime", std::string("2026-02-03 04:05:06")},
        {"time", 9.5},
        {"speed", int64_t(180)},
        {"mistakes", int64_t(1)},
        {"langId", int64_t(3)},
        {"diffLvl", int64_t(6)},
        {"diffAuto", int64_t(0)},
        {"accuracy", int64_t(99)},
        {"hasDelete", int64_t(1)},
        {"hasNumbers", int64_t(0)},
        {"hasCapitals", int64_t(1)},
        {"hasPunctuation", int64_t(0)},
        {"mistakesChars", std::string("xy")},
        {"layoutIdx", int64_t(2)}};
    for (const auto& [key, value] : fields) r.setObject(key, value);
    std::string why;
    auto row = fetcher_->rowForRecord(r, &why);
    ASSERT_TRUE(row) << why;
    const RowDictionary expected = {{"timestamp", std::string("2026-02-03 04:05:06")},
                                    {"time", 9.5},
                                    {"speed", int64_t(180)},
                                    {"mistakes", int64_t(1)},
                                    {"mistakesChars", std::string("xy")},
                                    {"langId", int64_t(3)},
                                    {"layoutIdx", int64_t(2)},
                                    {"diffLvl", int64_t(6)},
                                    {"diffAuto", int64_t(0)},
                                    {"accuracy", int64_t(99)},
                                    {"hasDelete", int64_t(1)},
                                    {"hasNumbers", int64_t(0)},
                                    {"hasCapitals", int64_t(1)},
                                    {"hasPunctuation", int64_t(0)}};
    EXPECT_EQ(*row, expected);

    struct Bad {
        std::string key;
        std::optional<ck::FieldValue> value;  // none: the key is missing
        std::string why;
    };
    const std::vector<Bad> bad = {
        {"accuracy", std::nullopt, "no \"accuracy\""},
        {"speed", 180.0, "\"speed\" is double"},
        {"time", int64_t(9), "\"time\" is int64"},
        {"mistakesChars", int64_t(0), "\"mistakesChars\" is int64"},
        {"localTime", std::string("2026-02-30 04:05:06x"), "\"localTime\" is no time"},
        {"langId", int64_t(10), "\"langId\" is no language"},
        {"langId", int64_t(-1), "\"langId\" is no language"},
    };
    for (const auto& b : bad) {
        ck::Record broken = r;
        if (b.value)
            broken.setObject(b.key, *b.value);
        else
            broken.removeObject(b.key);
        std::string reason;
        EXPECT_FALSE(fetcher_->rowForRecord(broken, &reason)) << b.key;
        EXPECT_EQ(reason, b.why);
    }
}

}  // namespace
}  // namespace wv
