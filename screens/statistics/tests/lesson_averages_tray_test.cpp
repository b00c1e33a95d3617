#include <gtest/gtest.h>

#include "engine/Model.h"
#include "languages/LangData.h"
#include "screens/statistics/Nib.h"
#include "screens/statistics/WVLessonAverageView.h"
#include "screens/statistics/WVLessonAverageViewController.h"
#include "screens/statistics/tests/StatisticsTestSupport.h"
#include "storage/Config.h"
#include "storage/Local.h"

namespace wv::screens {
namespace {

class TrayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::statisticsApplication();
        english = &model().langRoot().getLang(Language::en);
        english->setDifficulty(1);
        tray.setView(new View(Rect(0, 0, WVLessonAverageViewController::trayWidth(), 96)));
    }

    std::vector<LessonAverageInfo> list(std::vector<std::pair<int, bool>> groups) {
        std::vector<LessonAverageInfo> entries;
        for (size_t i = 0; i < groups.size(); ++i)
            entries.push_back({int(i), groups[i].first, groups[i].second, english});
        return entries;
    }

    LangData* english = nullptr;
    WVLessonAverageViewController tray;
};

std::vector<std::string> starsOf(const WVLessonAverageView& row) {
    std::vector<std::string> names;
    for (const ImageView* star : {row.star1, row.star2, row.star3}) {
        EXPECT_FALSE(star->isHidden());
        names.push_back(star->image() ? star->image()->name() : "");
    }
    return names;
}

// One full star per 100 characters per minute of the best typo-free line, a half for 50
// more; a group with records but no clean line gets one half star.
TEST_F(TrayTest, StarsAndScores) {
    struct Case {
        int best;
        bool active;
        std::vector<std::string> stars;
    };
    const std::string E = "starEmpty", H = "starHalf", F = "starFull";
    const Case cases[] = {
        {0, false, {E, E, E}},   {0, true, {H, E, E}},   {49, true, {E, E, E}},
        {50, true, {H, E, E}},   {100, true, {F, E, E}}, {150, true, {F, H, E}},
        {250, true, {F, F, H}},  {299, true, {F, F, H}}, {300, true, {F, F, F}},
        {1000, true, {F, F, F}},
    };
    for (const Case& c : cases) {
        auto row = WVLessonAverageView::makeFromNib();
        row->lessonInfo = LessonAverageInfo{3, c.best, c.active, english};
        row->showLessonInfo();
        EXPECT_EQ(starsOf(*row), c.stars) << c.best << " " << c.active;
        EXPECT_EQ(row->score->stringValue(), std::to_string(c.best));
    }
}

TEST_F(TrayTest, FirstRefreshBuildsTenRowsSideBySide) {
    tray.lessonsAverage = list({{120, true},
                                {0, false},
                                {0, true},
                                {0, false},
                                {0, false},
                                {0, false},
                                {350, true},
                                {90, true},
                                {0, false},
                                {210, true}});
    tray.refreshRows();
    const auto rows = tray.rows();
    ASSERT_EQ(rows.size(), 10u);
    const double xs[] = {0, 99, 198, 297, 396, 495, 594, 728, 833, 938};
    Local& local = Local::shared();
    const std::string titles[] = {
        local.localize("statsLesson") + " 1",    local.localize("statsLesson") + " 2",
        local.localize("statsLesson") + " 3",    local.localize("statsLesson") + " 4",
        local.localize("statsLesson") + " 5",    local.localize("statsLesson") + " 6",
        local.localize("statsHintHeaderExpert"), local.localize("statsNumbers"),
        local.localize("statsCapitals"),         local.localize("statsPunctuation")};
    const char* lines[] = {"line1", "line2", "line3",       "line4",       "line5",
                           "line5", "line6", "lineSymbols", "lineSymbols", "lineSymbols"};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i]->frame().x(), xs[i]) << i;
        EXPECT_EQ(rows[i]->title->stringValue(), titles[i]);
        EXPECT_EQ(rows[i]->lineImage->image()->name(), lines[i]);
        EXPECT_TRUE(rows[i]->lockImage->isHidden());
        EXPECT_EQ(rows[i]->dotImage->isHidden(), i < 7) << i;
    }
    EXPECT_EQ(rows[0]->score->stringValue(), "120");
    EXPECT_EQ(rows[1]->score->stringValue(), local.localize("statsLearning"))
        << "the lesson the learner is on";
    EXPECT_EQ(rows[2]->score->stringValue(), "0");
    EXPECT_EQ(starsOf(*rows[2]), (std::vector<std::string>{"starHalf", "starEmpty", "starEmpty"}));
    EXPECT_EQ(rows[6]->score->stringValue(), "350");
    EXPECT_EQ(rows.back()->frame().maxX(), WVLessonAverageViewController::trayWidth());
}

// Later lists rebind the same rows by position; a short one leaves the rest without records.
TEST_F(TrayTest, LaterListsRebindTheRowsAndAShortListLeavesTheRestInactive) {
    tray.lessonsAverage = list(std::vector<std::pair<int, bool>>(10, {300, true}));
    tray.refreshRows();
    const auto built = tray.rows();
    tray.lessonsAverage = list({{150, true}, {0, false}, {0, true}});
    tray.refreshRows();
    const auto rows = tray.rows();
    ASSERT_EQ(rows, built);
    EXPECT_EQ(rows[0]->score->stringValue(), "150");
    for (size_t i = 3; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i]->score->stringValue(), "0") << i;
        EXPECT_FALSE(rows[i]->lessonInfo->wasActive);
        EXPECT_EQ(rows[i]->lessonInfo->idx, int(i));
        EXPECT_EQ(starsOf(*rows[i]),
                  (std::vector<std::string>{"starEmpty", "starEmpty", "starEmpty"}));
    }
    tray.lessonsAverage.reset();
    tray.refreshRows();
    EXPECT_EQ(rows[0]->score->stringValue(), "150") << "no list leaves the tray as it was";
}

TEST_F(TrayTest, WordsPerMinuteScoresKeepStarsInCharacters) {
    model().config().setSpeedType(SpeedType::WPM);
    auto row = WVLessonAverageView::makeFromNib();
    row->lessonInfo = LessonAverageInfo{4, 300, true, english};
    row->showLessonInfo();
    EXPECT_EQ(row->score->stringValue(), "59") << "ceil(300 / 5.1)";
    EXPECT_EQ(starsOf(*row), (std::vector<std::string>{"starFull", "starFull", "starFull"}));
}

TEST_F(TrayTest, GroupsOutsideTheTenAndAMissingRowFile) {
    auto row = WVLessonAverageView::makeFromNib();
    row->lessonInfo = LessonAverageInfo{12, 100, true, english};
    row->showLessonInfo();
    EXPECT_EQ(row->lineImage->image(), nullptr);
    EXPECT_EQ(row->title->stringValue(), "");
    row->lessonInfo = LessonAverageInfo{-1, 100, true, english};
    row->showLessonInfo();
    EXPECT_EQ(row->lineImage->image(), nullptr);

    Nib::registerMaker("LessonsTray", nullptr);
    tray.lessonsAverage = list({{100, true}, {0, false}});
    tray.refreshRows();
    EXPECT_TRUE(tray.rows().empty());
}

}  // namespace
}  // namespace wv::screens
