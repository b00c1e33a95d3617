// The typing screen's own behaviour: new lines, indicators and their deltas, tips after a
// line, the level raise on Return, and the analytics events of each line.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/WVHintView.h"
#include "app/WVKeyboardButton.h"
#include "app/WVKeyboardView.h"
#include "app/tests/RunningApplication.h"
#include "storage/Local.h"

namespace wv {
namespace {

using test::RunningApplication;
using Kind = RecordingAnalyticsEvents::Kind;
using Reason = WVMainViewController::NewLineReason;

void finishLine(RunningApplication& app, int typos = 0) {
    for (int i = 0; i < typos; ++i)
        ASSERT_TRUE(app.type(app.wrongSymbolFor(*app.hub().textLine().expectedCharacter(false))));
    while (!app.hub().textLine().isComplete()) ASSERT_TRUE(app.typeExpected());
}

// The events sent since `from`, as (kind, name) pairs.
std::vector<std::pair<Kind, std::string>> eventsSince(const RunningApplication& app, size_t from) {
    std::vector<std::pair<Kind, std::string>> out;
    const auto& list = app.sdk->list();
    for (size_t i = from; i < list.size(); ++i) out.emplace_back(list[i].kind, list[i].name);
    return out;
}

TEST(TypingScreen, ANewLineResetsTheIndicatorsHidesTheTipAndKeepsOneSpeedTimer) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    for (int i = 0; i < 3; ++i) app.typeExpected();
    app.type(app.wrongSymbolFor(*app.hub().textLine().expectedCharacter(false)));
    screen.enterTip();
    screen.showIndicatorDelta(*screen.indicatorSpeedDelta, 7, false);
    app.loop.advance(1.0);
    const auto firstTimer = screen.timerUpdateSpeed;

    screen.newLine(Reason::OnRestart);
    const auto secondTimer = screen.timerUpdateSpeed;
    screen.newLine(Reason::OnRestart);
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "0");
    EXPECT_EQ(screen.indicatorSpeed->stringValue(), "0");
    EXPECT_EQ(screen.indicatorAccuracy->stringValue(), "100");
    for (TextField* delta :
         {screen.indicatorTyposDelta, screen.indicatorSpeedDelta, screen.indicatorAccuracyDelta})
        EXPECT_EQ(delta->alphaValue(), 0.0);
    EXPECT_TRUE(screen.hintView->isHidden());
    EXPECT_FALSE(firstTimer->isValid());
    EXPECT_FALSE(secondTimer->isValid());
    ASSERT_TRUE(screen.timerUpdateSpeed->isValid());
    EXPECT_TRUE(screen.timerUpdateSpeed->repeats());
    EXPECT_EQ(screen.timerUpdateSpeed->interval(), 0.5);
}

TEST(TypingScreen, TheSpeedTimerRefreshesTheSpeedEveryHalfSecond) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    app.typeExpected();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    app.typeExpected();
    EXPECT_EQ(screen.indicatorSpeed->stringValue(), "0");  // keys leave the speed alone
    // The line's speed falls while nobody types, so the shown value lies between the speed
    // just before the timer fired and the speed just after.
    const int before = app.hub().textLine().currentSpeed();
    app.loop.advance(0.5);
    const int after = app.hub().textLine().currentSpeed();
    EXPECT_LE(screen.indicatorSpeed->integerValue(), before);
    EXPECT_GE(screen.indicatorSpeed->integerValue(), after);
    EXPECT_GT(screen.indicatorSpeed->integerValue(), 0);
}

struct DeltaCase {
    const char* name;
    int delta;
    bool inverted;
    const char* text;  // nullptr: the label stays transparent
    bool green;
};

class IndicatorDelta : public ::testing::TestWithParam<DeltaCase> {};

TEST_P(IndicatorDelta, TextAndColour) {
    const DeltaCase& c = GetParam();
    RunningApplication app;
    TextField& field = *app.screen().indicatorSpeedDelta;
    app.screen().showIndicatorDelta(field, c.delta, c.inverted);
    app.loop.advance(1.0);
    if (!c.text) {
        EXPECT_EQ(field.alphaValue(), 0.0);
        return;
    }
    EXPECT_EQ(field.stringValue(), c.text);
    EXPECT_EQ(field.textColor(), c.green ? WVMainViewController::Colors::green()
                                         : WVMainViewController::Colors::red());
    EXPECT_EQ(field.alphaValue(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Deltas, IndicatorDelta,
                         ::testing::Values(DeltaCase{"Zero", 0, false, nullptr, false},
                                           DeltaCase{"FewerTypos", -3, true, "-3", true},
                                           DeltaCase{"MoreTypos", 2, true, "+2", false},
                                           DeltaCase{"FasterSpeed", 5, false, "+5", true},
                                           DeltaCase{"SlowerSpeed", -5, false, "-5", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TypingScreen, ColoursOfTheDeltas) {
    EXPECT_EQ(WVMainViewController::Colors::red(), Color::rgb(1.0, 45 / 255.0, 98 / 255.0));
    EXPECT_EQ(WVMainViewController::Colors::green(),
              Color::rgb(77 / 255.0, 179 / 255.0, 107 / 255.0));
}

TEST(TypingScreen, TheFirstStoredLineShowsNoDeltasTheSecondShowsThem) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    finishLine(app, 1);
    app.loop.advance(1.0);
    for (TextField* delta :
         {screen.indicatorTyposDelta, screen.indicatorSpeedDelta, screen.indicatorAccuracyDelta})
        EXPECT_EQ(delta->alphaValue(), 0.0);
    app.key(test::kScanReturn);
    finishLine(app, 3);
    app.loop.advance(1.0);
    EXPECT_EQ(screen.indicatorTyposDelta->stringValue(), "+2");
    EXPECT_EQ(screen.indicatorTyposDelta->textColor(), WVMainViewController::Colors::red());
    EXPECT_EQ(screen.indicatorTyposDelta->alphaValue(), 1.0);
}

TEST(TypingScreen, TheFirstFinishedLineShowsTheEnterTipOnceAndPublishesTheSettings) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    app.language().setDifficultyAuto(false);
    int published = 0;
    rx::DisposeBag bag;
    app.hub().config().didChange.subscribe([&](const ConfigUpdate&) { ++published; }).disposed(bag);
    published = 0;
    finishLine(app, 1);
    EXPECT_EQ(published, 1);
    EXPECT_EQ(app.hub().config().pressEnterCounter(), 1);
    EXPECT_FALSE(screen.hintView->isHidden());
    EXPECT_TRUE(screen.hintView->isEnterHint());

    // Manual mode from then on: no tip at all.
    app.key(test::kScanReturn);
    finishLine(app, 0);
    EXPECT_TRUE(screen.hintView->isHidden());
}

TEST(TypingScreen, ReturnOnTheEnterTipAfterALevelRaiseShowsTheNewLessonFirst) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    finishLine(app, 0);  // typo-free: automatic mode raises lesson 1 to 2
    ASSERT_EQ(app.language().difficulty(), 1);
    ASSERT_TRUE(screen.hintView->isEnterHint());
    const std::string finished = app.line();

    app.key(test::kScanReturn);
    EXPECT_EQ(app.line(), finished);  // no new line yet
    EXPECT_TRUE(app.hub().textLine().isComplete());
    EXPECT_FALSE(screen.hintView->isHidden());
    EXPECT_FALSE(screen.hintView->isEnterHint());
    ASSERT_TRUE(screen.hintView->text);
    std::string expected = Local::shared().localize("hintNewLesson");
    expected.replace(expected.find('#'), 1, "2");
    EXPECT_EQ(screen.hintView->text->string(), expected);
    EXPECT_EQ(screen.hintView->keysArray, app.language().currentLevelLetterList());

    app.key(test::kScanReturn);
    EXPECT_FALSE(app.hub().textLine().isComplete());
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
}

TEST(TypingScreen, ReturnIsNeverStuckOnTheEnterTipWhenAutomaticModeWasTurnedOff) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    finishLine(app, 0);
    ASSERT_EQ(app.language().difficulty(), 1);
    ASSERT_TRUE(screen.hintView->isEnterHint());
    app.language().setDifficultyAuto(false);

    const size_t before = app.sdk->list().size();
    app.key(test::kScanReturn);
    EXPECT_FALSE(app.hub().textLine().isComplete());
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
    EXPECT_TRUE(screen.hintView->isHidden());
    ASSERT_FALSE(eventsSince(app, before).empty());
    EXPECT_EQ(eventsSince(app, before).front(),
              std::make_pair(Kind::LevelEnd, std::string("lesson_2")));
}

TEST(TypingScreen, RaisingToTheExpertLevelShowsItsTextWithoutKeys) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    app.hub().config().setPressEnterCounter(1);
    app.language().setDifficulty(5);
    screen.applySettingsChange(true);
    finishLine(app, 0);
    ASSERT_EQ(app.language().difficulty(), 6);
    ASSERT_TRUE(screen.hintView->text);
    EXPECT_EQ(screen.hintView->text->string(), Local::shared().localize("hintExpertLevel"));
    EXPECT_FALSE(screen.hintView->hasKeys && screen.hintView->keysArray &&
                 !screen.hintView->keysArray->empty());
}

TEST(TypingScreen, ALineThatIsNotStoredNeverShowsTheLevelRaisedTip) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    app.hub().config().setPressEnterCounter(1);
    finishLine(app, 0);  // typo-free: lesson 1 becomes lesson 2, and the tip says so
    ASSERT_EQ(app.language().difficulty(), 1);
    ASSERT_FALSE(screen.hintView->isHidden());
    std::string newLesson = Local::shared().localize("hintNewLesson");
    newLesson.replace(newLesson.find('#'), 1, "2");
    ASSERT_EQ(screen.hintView->text->string(), newLesson);

    for (int line = 0; line < 2; ++line) {
        app.key(test::kScanReturn);
        // Every key wrong: far below 51 %, so the line leaves no record.
        while (!app.hub().textLine().isComplete()) {
            const auto expected = *app.hub().textLine().expectedCharacter(false);
            ASSERT_TRUE(app.type(app.wrongSymbolFor(expected)));
        }
        ASSERT_TRUE(app.hub().stats().sessionSkipped);
        EXPECT_EQ(app.language().difficulty(), 1) << line;
        EXPECT_FALSE(!screen.hintView->isHidden() && screen.hintView->text &&
                     screen.hintView->text->string() == newLesson)
            << "line " << line << " raised nothing";
    }
}

// Typos on h, a and n, and n is also the line's last key, the one highlighted when the line
// ends: all three keys keep their shade.
TEST(TypingScreen, TheHeatMapMarksEveryMistypedKeyTheLastOneToo) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    app.hub().textLine().setText("hanhanhan");
    screen.resizeUI();
    finishLine(app, 3);
    ASSERT_FALSE(app.hub().stats().sessionSkipped);
    for (const char* letter : {"h", "a", "n"}) {
        const auto code = app.language().keys().keyCodeForSymbol(letter);
        ASSERT_TRUE(code) << letter;
        WVKeyboardButton* key = screen.keyboard->keysMap.at(*code);
        EXPECT_TRUE(key->heatMapOn) << letter;
        EXPECT_TRUE(key->isError) << letter;
        EXPECT_FALSE(key->animationLayer->isHidden()) << letter;
    }
}

TEST(TypingScreen, ReturnMidLineRestartsWithoutStoringOrEndingTheLevel) {
    RunningApplication app;
    for (int i = 0; i < 4; ++i) app.typeExpected();
    const size_t before = app.sdk->list().size();
    const std::string abandoned = app.line();
    app.key(test::kScanReturn);
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
    EXPECT_TRUE(app.hub().stats().lessonsList().empty());
    const std::vector<std::pair<Kind, std::string>> expected = {
        {Kind::LevelStart, "lesson_1"}, {Kind::Custom, "SessonStarted - en - QWERTY"}};
    EXPECT_EQ(eventsSince(app, before), expected);
}

TEST(TypingScreenAnalytics, LevelStartAndEndCarryTheLessonAndItsAttributes) {
    RunningApplication app;
    const auto& list = app.sdk->list();
    const EventAttributes attributes{{"lang", "en"}, {"layout", "QWERTY"}, {"auto", "true"}};
    // The first line of the run: a level start and the custom event, no level end.
    auto start =
        std::find_if(list.begin(), list.end(), [](auto& e) { return e.kind == Kind::LevelStart; });
    ASSERT_NE(start, list.end());
    EXPECT_EQ(start->name, "lesson_1");
    EXPECT_EQ(start->attributes, attributes);
    ASSERT_NE(start + 1, list.end());
    EXPECT_EQ((start + 1)->kind, Kind::Custom);
    EXPECT_EQ((start + 1)->name, "SessonStarted - en - QWERTY");
    EXPECT_TRUE((start + 1)->attributes.empty());
    EXPECT_EQ(
        std::count_if(list.begin(), list.end(), [](auto& e) { return e.kind == Kind::LevelEnd; }),
        0);

    // A line with typos ends without success; the next starts afterwards.
    finishLine(app, 2);
    const int typed = app.hub().textLine().cursorPos();
    size_t before = list.size();
    app.key(test::kScanReturn);
    ASSERT_EQ(list.size(), before + 3);
    EXPECT_EQ(list[before].kind, Kind::LevelEnd);
    EXPECT_EQ(list[before].name, "lesson_1");
    EXPECT_EQ(list[before].score, typed);
    EXPECT_EQ(list[before].success, std::nullopt);
    EXPECT_EQ(list[before].attributes, attributes);
    EXPECT_EQ(list[before + 1].kind, Kind::LevelStart);

    // A line without typos succeeds, and carries the lesson it raised to.
    finishLine(app, 0);
    before = list.size();
    ASSERT_FALSE(app.screen().hintView->isEnterHint());  // the new-lesson tip
    app.key(test::kScanReturn);
    ASSERT_GT(list.size(), before);
    EXPECT_EQ(list[before].kind, Kind::LevelEnd);
    EXPECT_EQ(list[before].name, "lesson_2");
    EXPECT_EQ(list[before].success, 1);
}

TEST(TypingScreenAnalytics, TheExpertLevelIsLessonSeven) {
    RunningApplication app;
    app.language().setDifficulty(6);
    EXPECT_EQ(Analytics::lessonName(app.language()), "lesson_7");
    app.language().setDifficultyAuto(false);
    EXPECT_EQ(Analytics::lessonEventAttributes(app.language()).at("auto"), "false");
}

}  // namespace
}  // namespace wv
