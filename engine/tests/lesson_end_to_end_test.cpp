#include <gtest/gtest.h>

#include <set>

#include "ModelFixture.h"
#include "engine/LineMeasures.h"
#include "platform/foundation/Text.h"

namespace wv {
namespace {

using testing::ModelFixture;

// A learner at the keyboard of the current layout: finds the key for what the line expects
// next and presses it, or presses a wrong key where told to, as the typing screen hands key
// codes to the layout and the layout's symbol to the line.
class Learner {
  public:
    explicit Learner(Model& model) : model_(model) {}

    LangData& lang() { return model_.langRoot().getLang(model_.config().language()); }

    // Types the whole line; a key press at a position in `wrongAt` hits a wrong key.
    void typeLine(const std::set<int>& wrongAt) {
        WVTextLine& line = model_.textLine();
        const KeyMapBase& keys = lang().keys();
        int presses = 0;
        while (!line.isComplete()) {
            ASSERT_LT(presses++, 1000) << "the line does not end";
            const auto expected = line.nextCharacterBehavior.value();
            ASSERT_TRUE(expected);
            auto code = keys.keyCodeForSymbol(*expected);
            ASSERT_TRUE(code) << "no key types " << *expected;
            bool shift = keys.isShiftSymbol(*expected, *code);
            if (wrongAt.count(line.cursorPos())) {
                code = keys.keyCodeForSymbol(*expected == "q" ? "z" : "q");
                shift = false;
            }
            const auto typed = keys.symbolForKeyCode(*code, shift, false, false);
            ASSERT_TRUE(typed);
            line.typeCharacter(*typed);
        }
    }

  private:
    Model& model_;
};

std::set<int> everyPosition(int count) {
    std::set<int> all;
    for (int i = 0; i < count; ++i) all.insert(i);
    return all;
}

using LessonEndToEndTest = ModelFixture;

TEST_F(LessonEndToEndTest, ALessonFromFirstLaunchToTheNextStart) {
    std::vector<LessonInfo> records;
    plist::Dictionary settings;
    {
        auto model = makeModel();
        model->loadConfig();
        ASSERT_TRUE(model->firstLaunch());
        ASSERT_EQ(model->config().language(), Language::en);
        Learner learner(*model);
        LangData& en = learner.lang();
        ASSERT_EQ(en.difficulty(), 0);
        ASSERT_TRUE(en.difficultyAuto());
        // What the typing screen does once a line is finished.
        model->textLine().callbackLineComplete = [&] {
            model->learningAssist().processLastLesson(learner.lang());
        };
        auto newLine = [&] {
            model->textLine().generateNewLine(learner.lang(),
                                              model->learningAssist().mistypesFull().get());
        };

        // Lesson 1 of English: its own letters only, about a hundred of them.
        newLine();
        const std::string first = model->textLine().text();
        const size_t length = text::characterCount(first);
        EXPECT_GE(length, 90u) << first;
        EXPECT_LE(length, 110u) << first;
        for (const std::string& c : text::characters(first)) {
            ASSERT_NE(std::string("etao ").find(c), std::string::npos) << first;
        }
        learner.typeLine({0, 7, 30});
        ASSERT_EQ(model->stats().lessonsList().size(), 1u);
        const LessonInfo& typed = *model->stats().lessonsList()[0];
        EXPECT_EQ(typed.mistypesCount, 3);
        EXPECT_EQ(typed.accuracy, accuracyPercent(int(length), 3));
        EXPECT_EQ(typed.mistypes.size(), 6u);
        EXPECT_EQ(typed.mistypes[1], 'q');
        EXPECT_EQ(typed.difficulty, 0);
        EXPECT_EQ(typed.language, Language::en);
        EXPECT_GT(typed.speedCPM, 0);
        EXPECT_EQ(cloud->queued.size(), 1u);
        // Typos keep the lesson, and nothing has asked for a save yet.
        EXPECT_EQ(en.difficulty(), 0);
        EXPECT_EQ(model->learningAssist().errorSessionCounter, 1);
        EXPECT_FALSE(model->learningAssist().mistypesFull()->dic().empty());
        EXPECT_FALSE(std::filesystem::exists(configFile()));

        // A clean line raises the lesson in automatic mode, and that is saved.
        newLine();
        learner.typeLine({});
        ASSERT_EQ(model->stats().lessonsList().size(), 2u);
        EXPECT_EQ(model->stats().lessonsList()[1]->mistypesCount, 0);
        EXPECT_EQ(model->stats().lessonsList()[1]->accuracy, 100);
        EXPECT_EQ(en.difficulty(), 1);
        EXPECT_TRUE(model->learningAssist().isLevelRaised(en));
        EXPECT_FALSE(model->firstLaunch());
        ASSERT_TRUE(std::filesystem::exists(configFile()));
        EXPECT_EQ(*plist::readFile(configFile())
                       ->get<plist::Dictionary>()
                       ->find("difficultyEng")
                       ->get<int64_t>(),
                  1);

        // A line typed all wrong is not stored and must not count the clean line again.
        newLine();
        learner.typeLine(everyPosition(200));
        EXPECT_TRUE(model->stats().sessionSkipped);
        EXPECT_EQ(model->stats().lessonsList().size(), 2u);
        EXPECT_EQ(en.difficulty(), 1);

        model->config().setSpeedType(SpeedType::WPM);
        for (const auto& record : model->stats().lessonsList()) records.push_back(*record);
        settings = model->config().toDictionary();
        for (const auto& lang : model->langRoot().languages()) {
            for (const auto& [key, value] : lang->toDictionary()) settings.set(key, value);
        }
        EXPECT_EQ(keyValue->values["config"], settings);
    }

    // The next start: a fresh hub reads the same settings and records.
    auto model = makeModel();
    model->loadConfig();
    EXPECT_FALSE(model->firstLaunch());
    plist::Dictionary loaded = model->config().toDictionary();
    for (const auto& lang : model->langRoot().languages()) {
        for (const auto& [key, value] : lang->toDictionary()) loaded.set(key, value);
    }
    EXPECT_EQ(loaded, settings);
    EXPECT_EQ(model->config().speedType(), SpeedType::WPM);
    EXPECT_EQ(model->langRoot().getLang(Language::en).difficulty(), 1);
    ASSERT_EQ(model->stats().lessonsList().size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(*model->stats().lessonsList()[i], records[i]);
    }

    // Its first line is of the raised lesson.
    LangData& en = model->langRoot().getLang(Language::en);
    model->textLine().generateNewLine(en, model->learningAssist().mistypesFull().get());
    const std::string line = model->textLine().text();
    for (const std::string& c : text::characters(line)) {
        EXPECT_NE(std::string("etaonihsr ").find(c), std::string::npos) << line;
    }
    EXPECT_NE(line.find_first_of("nihsr"), std::string::npos) << line;
}

}  // namespace
}  // namespace wv
