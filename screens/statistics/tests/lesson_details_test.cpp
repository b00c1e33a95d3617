#include <gtest/gtest.h>

#include "engine/Model.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "screens/statistics/WVLessonDetailsViewController.h"
#include "screens/statistics/tests/StatisticsTestSupport.h"
#include "storage/Config.h"
#include "storage/Local.h"

namespace wv::screens {
namespace {

using test::makeLesson;
using test::Record;

class DetailsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::statisticsApplication();
        details.view();
    }
    ManualRunLoop loop;
    WVLessonDetailsViewController details;
};

std::string L(const char* key) { return Local::shared().localize(key); }

std::string lesson(int number) {
    std::string text = L("statsHintHeaderLesson");
    text.replace(text.find('#'), 1, std::to_string(number));
    return text;
}

TEST_F(DetailsTest, TextsImagesOptionLinesAndHeight) {
    struct Case {
        Record record;
        std::string title;
        std::string caption;
        std::string options;  // "" when the option lines are hidden
        double height;
    };
    const double bare = 100;
    const Case cases[] = {
        {{.id = 1, .speed = 230, .typos = 2, .difficulty = 2, .accuracy = 97},
         lesson(3),
         "bgDetailCaption2",
         "",
         bare},
        {{.id = 2, .difficulty = 6}, L("statsHintHeaderExpert"), "bgDetailCaption6", "", bare},
        {{.id = 3, .difficulty = 11}, L("statsHintHeaderExpert"), "bgDetailCaption6", "", bare},
        {{.id = 4, .difficulty = -4}, lesson(1), "bgDetailCaption", "", bare},
        {{.id = 5, .difficulty = 0, .capitals = true, .numbers = true, .punctuation = true},
         lesson(1) + " " + L("statsHintHeaderWith"),
         "bgDetailCaption",
         L("statsWithCapitals") + " \n" + L("statsWithNumbers") + " \n" +
             L("statsWithPunctuation") + " \n",
         bare + 3 * 17 + 14},
        {{.id = 6, .difficulty = 4, .punctuation = true},
         lesson(5) + " " + L("statsHintHeaderWith"),
         "bgDetailCaption4",
         L("statsWithPunctuation") + " \n",
         bare + 17 + 14},
    };
    for (const Case& c : cases) {
        details.setLesson(makeLesson(c.record));
        loop.advance(0.5);
        EXPECT_EQ(details.difficultyLabel->stringValue(), c.title);
        EXPECT_EQ(details.lessonColorImage->image()->name(), c.caption);
        EXPECT_EQ(details.speedLabel->stringValue(), std::to_string(c.record.speed));
        EXPECT_EQ(details.typosLabel->stringValue(), std::to_string(c.record.typos));
        EXPECT_EQ(details.accuracyLabel->stringValue(), std::to_string(c.record.accuracy) + "%");
        EXPECT_EQ(details.statsSpeed->stringValue(), L("statsSpeed"));
        EXPECT_EQ(details.statsTypos->stringValue(), L("statsTypos"));
        EXPECT_EQ(details.statsAccuracy->stringValue(), L("statsAccuracy"));
        EXPECT_EQ(details.popoverHeight(), c.height);
        EXPECT_EQ(details.view()->frame().height(), c.height);
        const bool options = !c.options.empty();
        EXPECT_EQ(details.optionsLabel->isHidden(), !options) << c.title;
        EXPECT_EQ(details.line->isHidden(), !options);
        if (options) {
            EXPECT_EQ(details.optionsLabel->stringValue(), c.options);
            const double n = double(details.optionTexts().size());
            // Below the caption picture, 8 points down, one 17-point line per option.
            EXPECT_EQ(details.optionsLabel->frame().height(), n * 17);
            EXPECT_EQ(details.optionsLabel->frame().maxY(),
                      details.lessonColorImage->frame().y() - 8);
            EXPECT_EQ(details.line->frame().y(), details.container->frame().maxY());
            EXPECT_EQ(details.lessonColorImage->frame().maxY(), c.height)
                << "the caption stays on top";
        }
    }
}

TEST_F(DetailsTest, SpeedInTheChosenUnit) {
    model().config().setSpeedType(SpeedType::WPM);
    details.setLesson(makeLesson({.speed = 300}));
    EXPECT_EQ(details.speedLabel->stringValue(), "59");
}

// A record refills the panel only when it differs from the one shown: by presence, date or
// id (two lines finished within one second share their date).
TEST_F(DetailsTest, RefillsOnlyForAnotherRecord) {
    Record first{.id = 1, .speed = 111};
    details.setLesson(makeLesson(first));
    details.speedLabel->setStringValue("marker");
    details.setLesson(makeLesson(first));
    EXPECT_EQ(details.speedLabel->stringValue(), "marker") << "the same record again";

    auto sameSecond = std::make_shared<LessonInfo>(*makeLesson({.id = 2, .speed = 222}));
    sameSecond->date = details.lesson()->date;
    details.setLesson(sameSecond);
    EXPECT_EQ(details.speedLabel->stringValue(), "222");

    details.setLesson(nullptr);
    EXPECT_EQ(details.speedLabel->stringValue(), "222") << "no record leaves the labels";
    details.setLesson(sameSecond);
    details.speedLabel->setStringValue("marker");
    details.setLesson(nullptr);
    details.setLesson(sameSecond);
    EXPECT_EQ(details.speedLabel->stringValue(), "222") << "after none, the record again refills";
}

TEST_F(DetailsTest, RecordsWithTheSameNumberOfOptionsChangeTextsOnly) {
    details.setLesson(makeLesson({.id = 1, .capitals = true}));
    loop.advance(0.5);
    const Rect frame = details.view()->frame();
    details.setLesson(makeLesson({.id = 2, .numbers = true}));
    EXPECT_FALSE(details.view()->hasRunningAnimations());
    EXPECT_FALSE(details.optionsLabel->hasRunningAnimations());
    EXPECT_EQ(details.view()->frame(), frame);
    EXPECT_EQ(details.optionsLabel->stringValue(), L("statsWithNumbers") + " \n");
}

}  // namespace
}  // namespace wv::screens
