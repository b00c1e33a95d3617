#include <gtest/gtest.h>

#include "screens/statistics/WVLangSwitcherModelView.h"
#include "screens/statistics/WVSwitcher.h"
#include "screens/statistics/tests/StatisticsTestSupport.h"

namespace wv::screens {
namespace {

class SwitcherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::statisticsApplication();
        switcher = std::make_unique<WVSwitcher>(Rect(0, 0, 600, 26));
        switcher->onSelected = [this](int tag) { reported.push_back(tag); };
    }
    void tap(int segment) {
        switcher->segmentedControl->setSelected(true, segment);
        switcher->onClick(*switcher->segmentedControl);
    }
    std::unique_ptr<WVSwitcher> switcher;
    std::vector<int> reported;
};

TEST_F(SwitcherTest, SegmentsReportTheirTags) {
    struct Case {
        std::vector<std::pair<std::string, int>> buttons;
        int tapped;
        int tag;
    };
    const Case cases[] = {
        {{{"QWERTY", 0}}, 0, 0},
        {{{"UNKNOWN", -1}, {"QWERTY", 0}}, 0, -1},
        {{{"UNKNOWN", -1}, {"QWERTY", 0}}, 1, 0},
        {{{"English", 0}, {"Russian", 2}, {"German", 3}}, 2, 3},
    };
    for (const Case& c : cases) {
        reported.clear();
        switcher->setButtons(c.buttons);
        ASSERT_EQ(switcher->segmentedControl->segmentCount(), int(c.buttons.size()));
        for (size_t i = 0; i < c.buttons.size(); ++i)
            EXPECT_EQ(switcher->segmentedControl->labelForSegment(int(i)), c.buttons[i].first);
        tap(c.tapped);
        tap(c.tapped);
        EXPECT_EQ(reported, (std::vector<int>{c.tag, c.tag})) << "tapped again, reported again";
    }
}

TEST_F(SwitcherTest, SelectingByTag) {
    switcher->setButtons({{"UNKNOWN", -1}, {"QWERTY", 0}, {"DVORAK", 1}});
    switcher->selectTag(-1);
    EXPECT_EQ(switcher->segmentedControl->selectedSegment(), 0);
    switcher->selectTag(1);
    EXPECT_EQ(switcher->segmentedControl->selectedSegment(), 2);
    switcher->selectTag(7);
    EXPECT_EQ(switcher->segmentedControl->selectedSegment(), 2) << "no segment carries 7";
    EXPECT_TRUE(reported.empty()) << "selecting is not tapping";
}

TEST_F(SwitcherTest, NewButtonsReplaceTheOld) {
    switcher->setButtons({{"a", 10}, {"b", 11}, {"c", 12}, {"d", 13}, {"e", 14}});
    switcher->setButtons({{"x", 20}, {"y", 21}, {"z", 22}});
    EXPECT_EQ(switcher->segmentedControl->segmentCount(), 3);
    EXPECT_EQ(switcher->tags, (std::map<int, int>{{0, 20}, {1, 21}, {2, 22}}));
    switcher->onSelected = nullptr;
    tap(1);  // without a callback nothing happens
    EXPECT_TRUE(reported.empty());
}

// Each segment is as wide as its title needs; a row too short narrows them all alike.
TEST_F(SwitcherTest, SegmentsFitTheirTitlesWithinTheRow) {
    switcher->setButtons({{"QWERTY", 0}, {"QWERTZ Swiss", 5}});
    SegmentedControl& control = *switcher->segmentedControl;
    EXPECT_LT(control.widthForSegment(0), control.widthForSegment(1));
    EXPECT_EQ(control.widthForSegment(1), switcher->neededWidth(1));
    EXPECT_EQ(control.frame().width(), control.widthForSegment(0) + control.widthForSegment(1));
    EXPECT_EQ(control.segmentRect(1).x(), control.widthForSegment(0));
    std::vector<std::pair<std::string, int>> many;
    for (int i = 0; i < 40; ++i) many.push_back({"Portuguese " + std::to_string(i), i});
    switcher->setButtons(many);
    EXPECT_EQ(control.frame().width(), 600);
    EXPECT_NEAR(control.segmentRect(39).maxX(), 600, 1e-6);
}

TEST(LangSwitcherModelView, EveryStoredValueReachesEverySubscriber) {
    WVLangSwitcherModelView model;
    std::vector<int> first, second;
    auto a = model.selectedLayout.subscribe([&](const int& v) { first.push_back(v); });
    model.selectedLayout.setValue(2);
    auto b = model.selectedLayout.subscribe([&](const int& v) { second.push_back(v); });
    model.selectedLayout.setValue(2);
    EXPECT_EQ(first, (std::vector<int>{0, 2, 2}));
    EXPECT_EQ(second, (std::vector<int>{2, 2}));
    a.dispose();
    b.dispose();
}

}  // namespace
}  // namespace wv::screens
