#include <gtest/gtest.h>

#include "TestLanguage.h"
#include "engine/LessonStats.h"
#include "engine/RecordingCloud.h"
#include "engine/WVTextLine.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

using testing::TestLanguage;
using Next = std::optional<std::string>;

// A line over a fresh store, with a clock the test moves and a counted error sound.
struct LineFixture {
    explicit LineFixture(Language language = Language::fr) : lang(language) {
        std::filesystem::create_directories(Folders::dataHome());
        std::filesystem::remove(Folders::dataHome() / "statistics.db");
        stats = std::make_unique<LessonStats>(Folders::dataHome() / "statistics.db", 4);
        stats->cloud = &cloud;
        line = std::make_unique<WVTextLine>(*stats, [this] { return now; });
        line->sound.player = [this] { ++sounds; };
        line->callbackLineComplete = [this] { ++completions; };
        line->nextCharacterBehavior.subscribe([this](const Next& c) { next.push_back(c); });
        line->newLineCreated.subscribe([this](const std::string& t) {
            created.push_back(t);
            next.push_back("<new line>");
        });
    }
    void start(const std::string& text) {
        lang.generator->texts = {text};
        line->generateNewLine(*lang.data, nullptr);
    }
    // Types each character of `keys` (user-perceived characters), one second apart.
    std::vector<bool> type(const std::vector<std::string>& keys) {
        std::vector<bool> results;
        for (const auto& k : keys) {
            results.push_back(line->typeCharacter(k));
            now += 1.0;
        }
        return results;
    }
    const StyledText::Character& at(size_t i) const { return line->attrText()[i]; }

    LogCapture quiet;
    TestLanguage lang;
    RecordingCloud cloud;
    std::unique_ptr<LessonStats> stats;
    std::unique_ptr<WVTextLine> line;
    double now = 500.0;
    int sounds = 0;
    int completions = 0;
    std::vector<Next> next;
    std::vector<std::string> created;
};

TEST(WVTextLine, ANewLineIsGeneratedPublishedAndStyled) {
    LineFixture f;
    f.lang.data->setDifficulty(3);
    f.next.clear();
    f.start("ab c");
    ASSERT_EQ(f.lang.generator->calls.size(), 1u);
    EXPECT_EQ(f.lang.generator->calls[0].length, 100);
    EXPECT_EQ(f.lang.generator->calls[0].level, 3);
    EXPECT_EQ(f.line->text(), "ab c");
    EXPECT_EQ(f.created, std::vector<std::string>{"ab c"});
    EXPECT_EQ(f.next, (std::vector<Next>{"<new line>", "a"}));
    EXPECT_EQ(f.line->cursorPos(), 0);
    EXPECT_EQ(f.line->attrText().string(), "ab c");
    EXPECT_EQ(f.line->attrText().alignment(), StyledText::Alignment::Center);
    EXPECT_EQ(f.at(0).background, colorBlue);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(f.at(i).foreground, colorWhite);
    EXPECT_FALSE(f.at(1).background);
    EXPECT_FALSE(f.line->timeStart());
    EXPECT_EQ(f.line->currentSpeed(), 0);
}

TEST(WVTextLine, KeysBeforeTheFirstLineAreIgnored) {
    LineFixture f;
    f.next.clear();
    EXPECT_FALSE(f.line->typeCharacter("a"));
    EXPECT_FALSE(f.line->deleteBackward());
    EXPECT_TRUE(f.next.empty());
    EXPECT_FALSE(f.line->timeStart());
}

TEST(WVTextLine, AWrongFirstKeyStartsTheClockRecordsTheTypoAndMovesOn) {
    LineFixture f;
    f.start("abc");
    f.next.clear();
    EXPECT_FALSE(f.line->typeCharacter("x"));
    EXPECT_EQ(f.line->timeStart(), 500.0);
    EXPECT_EQ(f.line->cursorPos(), 1);
    EXPECT_EQ(f.line->mistypes().pairs, "ax");
    EXPECT_EQ(f.line->mistypes().pos, std::vector<int>{0});
    EXPECT_EQ(f.sounds, 1);
    EXPECT_EQ(f.at(0).foreground, colorError);
    EXPECT_EQ(f.at(0).background, colorClear);
    EXPECT_EQ(f.at(1).background, colorBlue);
    EXPECT_EQ(f.next, std::vector<Next>{"b"});
    EXPECT_TRUE(f.line->typeCharacter("b"));
    EXPECT_EQ(f.at(1).foreground, colorWhiteTranslucent);
    EXPECT_EQ(f.sounds, 1);
}

TEST(WVTextLine, AMistypedSpaceShowsItsMarkUntilDeletedAndAgainAtTheEnd) {
    LineFixture f;
    f.start("a bc");
    f.type({"a", "x"});
    EXPECT_EQ(f.at(1).text, "∙");
    EXPECT_EQ(f.at(1).foreground, colorError);
    EXPECT_EQ(f.line->text(), "a bc");  // the text keeps its space
    EXPECT_TRUE(f.line->deleteBackward());
    EXPECT_EQ(f.line->cursorPos(), 1);
    EXPECT_EQ(f.at(1).text, " ");
    EXPECT_EQ(f.at(1).background, colorBlue);
    EXPECT_EQ(f.at(1).foreground, colorWhite);
    EXPECT_EQ(f.at(2).background, colorClear);
    EXPECT_EQ(f.line->mistypes().count(), 1);  // Delete never takes a typo back
    f.type({" ", "b", "c"});
    EXPECT_EQ(f.line->attrText().string(), "a∙bc");
    EXPECT_EQ(f.at(1).foreground, colorError);
    EXPECT_EQ(f.completions, 1);
}

TEST(WVTextLine, DeleteOverATypoKeepsItCountedInTheStoredRecord) {
    LineFixture f;
    f.start("abcd");
    const auto results = f.type({"a", "q", "c"});
    EXPECT_EQ(results, (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(f.line->deleteBackward());
    EXPECT_TRUE(f.line->deleteBackward());
    EXPECT_EQ(f.line->cursorPos(), 1);
    f.type({"b", "c", "d"});
    ASSERT_TRUE(f.line->isComplete());
    ASSERT_EQ(f.stats->lessonsList().size(), 1u);
    const auto& record = *f.stats->lessonsList()[0];
    EXPECT_EQ(record.mistypes, "bq");
    EXPECT_EQ(record.mistypesCount, 1);
    EXPECT_EQ(record.accuracy, 75);
}

TEST(WVTextLine, ADeadKeyFollowedByItsLetterTypesTheComposedCharacter) {
    LineFixture f;  // French AZERTY: ê is ^ then e
    f.start("têt");
    f.next.clear();
    EXPECT_EQ(f.type({"t"}), std::vector<bool>{true});
    EXPECT_EQ(f.next, std::vector<Next>{"^"});
    EXPECT_TRUE(f.line->typeCharacter("^"));
    EXPECT_EQ(f.line->cursorPos(), 1);
    EXPECT_TRUE(f.line->passedFirstCompoundChar());
    EXPECT_EQ(f.line->expectedCharacter(true), "e");
    EXPECT_EQ(f.line->expectedCharacter(false), "ê");
    EXPECT_TRUE(f.line->typeCharacter("e"));
    EXPECT_EQ(f.line->cursorPos(), 2);
    EXPECT_FALSE(f.line->passedFirstCompoundChar());
    EXPECT_EQ(f.next, (std::vector<Next>{"^", "e", "t"}));
    EXPECT_EQ(f.line->mistypes().count(), 0);
    EXPECT_EQ(f.at(1).foreground, colorWhiteTranslucent);
}

TEST(WVTextLine, TheComposedCharacterMayAlsoBeTypedDirectly) {
    LineFixture f;
    f.start("êê");
    EXPECT_TRUE(f.line->typeCharacter("ê"));
    EXPECT_TRUE(f.line->typeCharacter("^"));
    EXPECT_TRUE(f.line->typeCharacter("ê"));  // after its dead key too
    EXPECT_TRUE(f.line->isComplete());
    EXPECT_EQ(f.line->mistypes().count(), 0);
}

TEST(WVTextLine, AWrongKeyAfterADeadKeyIsOneTypoAndTheNextCharacterStartsAfresh) {
    LineFixture f;
    f.start("êâz");
    EXPECT_TRUE(f.line->typeCharacter("^"));
    EXPECT_FALSE(f.line->typeCharacter("r"));
    EXPECT_EQ(f.line->mistypes().pairs, "êr");
    EXPECT_EQ(f.line->cursorPos(), 1);
    EXPECT_FALSE(f.line->passedFirstCompoundChar());
    EXPECT_EQ(f.line->expectedCharacter(true), "^");
    // A letter without its dead key is wrong as well.
    EXPECT_FALSE(f.line->typeCharacter("a"));
    EXPECT_EQ(f.line->mistypes().pairs, "êrâa");
    EXPECT_EQ(f.sounds, 2);
}

TEST(WVTextLine, DeadKeyStateNeitherSurvivesDeleteNorLeaksIntoANewLine) {
    LineFixture f;
    f.start("aê");
    f.type({"a", "^"});
    ASSERT_TRUE(f.line->passedFirstCompoundChar());
    EXPECT_TRUE(f.line->deleteBackward());
    EXPECT_FALSE(f.line->passedFirstCompoundChar());
    f.type({"a"});
    EXPECT_EQ(f.line->expectedCharacter(true), "^");
    // Without Delete the letter alone would have completed the character.
    EXPECT_FALSE(f.line->typeCharacter("e"));
    EXPECT_EQ(f.line->mistypes().pairs, "êe");

    f.start("êa");
    f.type({"^"});
    ASSERT_TRUE(f.line->passedFirstCompoundChar());
    f.start("êb");
    EXPECT_FALSE(f.line->passedFirstCompoundChar());
    EXPECT_EQ(f.line->expectedCharacter(true), "^");
    EXPECT_FALSE(f.line->typeCharacter("e"));
}

TEST(WVTextLine, AFinishedLineIsMeasuredStoredQueuedAndReported) {
    LineFixture f;
    f.lang.data->setDifficulty(2);
    f.lang.data->setNumbersOn(true);
    f.lang.data->selectLayout(1);
    f.start("le bon");
    f.now = 1000.0;
    // Six keys over three seconds: the clock runs from the first key to the last.
    for (const char* k : {"l", "e", "x", "b", "o"}) {
        f.line->typeCharacter(k);
        f.now += 0.6;
    }
    f.now = 1003.0;
    EXPECT_EQ(f.line->currentSpeed(), 100);  // 5 characters in 3 seconds
    f.line->typeCharacter("n");
    EXPECT_EQ(f.line->timeTotal(), 3.0);
    EXPECT_EQ(f.completions, 1);
    EXPECT_FALSE(f.stats->sessionSkipped);
    ASSERT_EQ(f.stats->lessonsList().size(), 1u);
    const auto& record = *f.stats->lessonsList()[0];
    EXPECT_EQ(record.time, 3.0);
    EXPECT_EQ(record.speedCPM, 120);
    EXPECT_EQ(record.accuracy, 83);
    EXPECT_EQ(record.mistypes, " x");
    EXPECT_EQ(record.language, Language::fr);
    EXPECT_EQ(record.difficulty, 2);
    EXPECT_TRUE(record.isNumbersOn);
    EXPECT_EQ(record.layoutIdx, 1);
    EXPECT_EQ(f.cloud.queued, f.stats->lessonsList());
    EXPECT_EQ(f.line->currentSpeed(), 120);

    // A finished line takes no more keys and publishes nothing.
    f.next.clear();
    EXPECT_FALSE(f.line->typeCharacter("x"));
    EXPECT_FALSE(f.line->deleteBackward());
    EXPECT_TRUE(f.next.empty());
    EXPECT_EQ(f.line->mistypes().count(), 1);
}

TEST(WVTextLine, OnlyLinesOfAccuracy51OrMoreAreStored) {
    struct Case {
        int typos;
        bool stored;
    } cases[] = {{49, true}, {50, false}, {0, true}};
    for (const auto& c : cases) {
        LineFixture f(Language::en);
        f.start(std::string(100, 'a'));
        for (int i = 0; i < 100; ++i) f.line->typeCharacter(i < c.typos ? "s" : "a");
        EXPECT_EQ(f.stats->lessonsList().size(), c.stored ? 1u : 0u) << c.typos;
        EXPECT_EQ(f.stats->sessionSkipped, !c.stored) << c.typos;
        EXPECT_EQ(f.cloud.queued.size(), c.stored ? 1u : 0u) << c.typos;
        EXPECT_EQ(f.completions, 1);
        if (c.typos == 0) {
            EXPECT_EQ(f.stats->lessonsList()[0]->mistypes, "");
            EXPECT_EQ(f.stats->lessonsList()[0]->accuracy, 100);
        }
    }
}

TEST(WVTextLine, ALineTypedInNoTimeAtAllHasSpeedZero) {
    LineFixture f;
    f.start("ab");
    f.line->typeCharacter("a");
    EXPECT_EQ(f.line->currentSpeed(), 0);
    f.line->typeCharacter("b");
    EXPECT_EQ(f.line->timeTotal(), 0.0);
    ASSERT_EQ(f.stats->lessonsList().size(), 1u);
    EXPECT_EQ(f.stats->lessonsList()[0]->speedCPM, 0);
    // Finished all the same: neither Delete nor another key reopens it.
    EXPECT_TRUE(f.line->isFinished());
    EXPECT_FALSE(f.line->deleteBackward());
    EXPECT_FALSE(f.line->typeCharacter("b"));
    EXPECT_EQ(f.line->cursorPos(), 2);
    EXPECT_EQ(f.completions, 1);
    EXPECT_EQ(f.stats->lessonsList().size(), 1u);
}

TEST(WVTextLine, AFailedInsertLeavesNoRecordAnywhere) {
    LineFixture f;
    f.start("ab");
    f.type({"a", "b"});
    ASSERT_EQ(f.stats->lessonsList().size(), 1u);
    ASSERT_TRUE(f.stats->db().connection().executeUpdate("DROP TABLE sessions"));
    f.start("cd");
    f.type({"c", "d"});
    EXPECT_EQ(f.completions, 2);
    EXPECT_EQ(f.stats->lessonsList().size(), 1u);
    EXPECT_EQ(f.cloud.queued.size(), 1u);
    EXPECT_TRUE(f.stats->sessionSkipped);
    EXPECT_EQ(f.stats->lessonsTree().langLeafs.at(Language::fr).layoutLeafs.at(0).lessons.size(),
              1u);
}

TEST(WVTextLine, TheSoundGateIsAskedAtEveryTypo) {
    LineFixture f;
    bool on = false;
    f.line->sound.isOn = [&] { return on; };
    f.start("abc");
    f.type({"x"});
    EXPECT_EQ(f.sounds, 0);
    on = true;
    f.type({"y"});
    EXPECT_EQ(f.sounds, 1);
}

TEST(WVTextLine, SpeedSoFarIsCharactersPerMinute) {
    LineFixture f(Language::en);
    f.start(std::string(101, 'a'));
    for (int i = 0; i < 100; ++i) f.line->typeCharacter("a");
    f.now += 60.0;
    EXPECT_EQ(f.line->currentSpeed(), 100);
}

}  // namespace
}  // namespace wv

namespace wv {
namespace {

TEST(WVTextLine, AWholeLineWithTyposDeleteAndDeadKeys) {
    LineFixture f;  // French AZERTY
    f.start("sa fête côte");
    f.next.clear();
    const std::vector<bool> expected = {true, false, true, false, true,  true, true, true,
                                        true, true,  true, true,  false, true, true};
    std::vector<bool> results;
    for (const char* key :
         {"s", "z", "<Delete>", "a", "x", "f", "^", "e", "t", "e", " ", "c", "^", "p", "t", "e"}) {
        if (std::string(key) == "<Delete>") {
            EXPECT_TRUE(f.line->deleteBackward());
        } else {
            results.push_back(f.line->typeCharacter(key));
        }
        f.now += 1.0;
    }
    EXPECT_EQ(results, expected);
    EXPECT_EQ(f.next, (std::vector<Next>{"a", " ", "a", " ", "f", "^", "e", "t", "e", " ", "c", "^",
                                         "o", "t", "e", std::nullopt}));
    EXPECT_EQ(f.line->mistypes().pairs, "az xôp");
    EXPECT_EQ(f.line->mistypes().pos, (std::vector<int>{1, 2, 9}));
    EXPECT_EQ(f.sounds, 3);
    EXPECT_EQ(f.line->timeTotal(), 15.0);  // first key to last key
    EXPECT_EQ(f.line->attrText().string(), "sa∙fête côte");
    for (size_t i = 0; i < 12; ++i) {
        const bool typo = i == 1 || i == 2 || i == 9;
        EXPECT_EQ(f.at(i).foreground, typo ? colorError : colorWhiteTranslucent) << i;
    }
    ASSERT_EQ(f.stats->lessonsList().size(), 1u);
    const auto& record = *f.stats->lessonsList()[0];
    EXPECT_EQ(record.mistypesCount, 3);
    EXPECT_EQ(record.accuracy, 75);
    EXPECT_EQ(record.speedCPM, 48);
    EXPECT_EQ(record.time, 15.0);
    EXPECT_EQ(record.splitMistypes(), (std::pair<std::string, std::string>{"a ô", "zxp"}));
    EXPECT_FALSE(f.stats->sessionSkipped);
    EXPECT_EQ(f.completions, 1);
}

}  // namespace
}  // namespace wv
