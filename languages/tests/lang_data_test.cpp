#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "FakeWordGenerator.h"
#include "languages/LangData.h"
#include "platform/foundation/Text.h"

namespace wv {
namespace {

std::unique_ptr<KeyMapBase> twoLayouts(Language lang) {
    KeyMapBase::Layouts layouts;
    KeyRows empty{};
    layouts.push_back(std::make_unique<KeyboardLayoutData>("First", empty, empty));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("Second", empty, empty));
    return std::make_unique<KeyMapBase>(lang, std::move(layouts));
}

struct Fixture {
    explicit Fixture(Language lang)
        : data(
              lang, "flagXX", twoLayouts(lang), 5.5f, [this](bool b) { updates.push_back(b); },
              FakeWordGenerator::factory()) {}
    std::vector<bool> updates;
    LangData data;
};

TEST(LangData, NewLanguageHasConstructionValuesAndSavesThemUnderItsSuffix) {
    Fixture f(Language::gr);
    EXPECT_TRUE(f.updates.empty());
    EXPECT_EQ(f.data.type(), Language::gr);
    EXPECT_EQ(f.data.flag(), "flagXX");
    EXPECT_FLOAT_EQ(f.data.wpmRatio(), 5.5f);
    EXPECT_TRUE(f.data.difficultyAuto());
    EXPECT_EQ(f.data.difficulty(), 0);
    EXPECT_FALSE(f.data.numbersOn());
    EXPECT_FALSE(f.data.capitalsOn());
    EXPECT_FALSE(f.data.punctuationOn());

    plist::Dictionary expected;
    expected.set("layoutGrk", 0);
    expected.set("difficultyGrk", 0);
    expected.set("difficultyGrkAuto", true);
    expected.set("capitalsOnGrk", false);
    expected.set("numbersOnGrk", false);
    expected.set("punctuationOnGrk", false);
    auto saved = f.data.toDictionary();
    EXPECT_EQ(saved, expected);
    EXPECT_TRUE(saved.find("difficultyGrkAuto")->is<bool>());
    EXPECT_TRUE(saved.find("difficultyGrk")->is<int64_t>());
}

TEST(LangData, CodesAndSettingsSuffixes) {
    struct Case {
        Language lang;
        const char* code;
        const char* suffix;
    } cases[] = {
        {Language::en, "EN", "Eng"}, {Language::ua, "UA", "Ukr"}, {Language::ru, "RU", "Rus"},
        {Language::de, "DE", "De"},  {Language::es, "ES", "Es"},  {Language::fr, "FR", "Fr"},
        {Language::gr, "GR", "Grk"}, {Language::tr, "TR", "Tur"}, {Language::it, "IT", "It"},
        {Language::pr, "PR", "Pr"},
    };
    for (const auto& c : cases) {
        Fixture f(c.lang);
        EXPECT_EQ(f.data.code(), c.code);
        EXPECT_EQ(f.data.keySuffix(), c.suffix);
        EXPECT_TRUE(f.data.toDictionary().contains(std::string("difficulty") + c.suffix + "Auto"));
    }
}

TEST(LangData, GeneratorIsMadeLastAndKnowsItsLanguage) {
    Fixture f(Language::fr);
    auto* generator = dynamic_cast<FakeWordGenerator*>(f.data.generator());
    ASSERT_NE(generator, nullptr);
    EXPECT_TRUE(generator->madeLast());
    EXPECT_EQ(generator->generateText(100, 3, nullptr), "FR:3");
}

TEST(LangData, LettersOfTheCurrentLesson) {
    Fixture f(Language::en);
    f.data.setDifficulty(1);
    EXPECT_EQ(f.data.currentLevelLetters(), "nihsr");
    EXPECT_EQ(f.data.currentLevelLetterList(), (std::vector<std::string>{"n", "i", "h", "s", "r"}));
    EXPECT_EQ(f.data.learnedLetters(1), "etaonihsr");

    f.data.setDifficulty(6);
    EXPECT_EQ(f.data.currentLevelLetters(), "");
    EXPECT_TRUE(f.data.currentLevelLetterList().empty());
    EXPECT_EQ(f.data.learnedLetters(6), "etaonihsrdlumwcgfypbvk'jxqz");
    EXPECT_EQ(f.data.learnedLetters(99), f.data.learnedLetters(5));
    EXPECT_EQ(f.data.learnedLetters(-1), "");

    f.data.setDifficulty(-2);
    EXPECT_EQ(f.data.currentLevelLetters(), "");
    EXPECT_TRUE(f.data.currentLevelLetterList().empty());

    // Letters beyond ASCII are split as the learner sees them.
    Fixture ua(Language::ua);
    ua.data.setDifficulty(5);
    EXPECT_EQ(ua.data.currentLevelLetterList(),
              (std::vector<std::string>{"ц", "щ", "ї", "є", "ф", "\u2019"}));
}

TEST(LangData, LearnedLettersAddDigitsAndMarksOfTheOptions) {
    Fixture en(Language::en);
    en.data.setNumbersOn(true);
    en.data.setPunctuationOn(true);
    en.data.setCapitalsOn(true);  // changes nothing here
    EXPECT_EQ(en.data.learnedLetters(1), "etaonihsr1234567890,:;-.?!");
    EXPECT_EQ(text::characterCount(en.data.learnedLetters(1)), 26u);

    Fixture es(Language::es);
    es.data.setNumbersOn(true);
    es.data.setPunctuationOn(true);
    EXPECT_EQ(es.data.learnedLetters(0), "eaors1234567890,:;-.?¿!¡");
    EXPECT_EQ(text::characterCount(es.data.learnedLetters(0)), 24u);

    es.data.setNumbersOn(false);
    EXPECT_EQ(es.data.learnedLetters(-1), ",:;-.?¿!¡");
}

TEST(LangData, OnlySpanishEndingMarksCarryInversions) {
    for (Language lang : {Language::en, Language::es, Language::pr, Language::fr}) {
        Fixture f(lang);
        for (const auto& mark : f.data.punctuations()->items()) {
            EXPECT_EQ(mark->inversion, "") << mark->value;
        }
        std::string inversions;
        for (const auto& mark : f.data.punctuationsEnd()->items()) inversions += mark->inversion;
        EXPECT_EQ(inversions, lang == Language::es ? "¿¡" : "");
    }
}

TEST(LangData, EverySettingsStoreIsAnnouncedEvenWithoutChange) {
    Fixture f(Language::de);
    f.data.setDifficulty(2);
    f.data.setDifficulty(2);
    f.data.setDifficultyAuto(false);
    f.data.setCapitalsOn(true);
    f.data.setNumbersOn(false);
    f.data.setPunctuationOn(true);
    EXPECT_EQ(f.updates, (std::vector<bool>{true, true, false, true, true, true}));
}

TEST(LangData, ChoosingALayoutIsAnnouncedAndSaved) {
    Fixture f(Language::en);
    f.data.selectLayout(1);
    EXPECT_EQ(f.data.keys().currentLayoutIndex(), 1);
    EXPECT_EQ(f.updates, std::vector<bool>{true});
    EXPECT_EQ(*f.data.toDictionary().find("layoutEng"), plist::Value(1));

    f.data.selectLayoutByName("First");
    EXPECT_EQ(f.data.keys().currentLayoutIndex(), 0);
    EXPECT_EQ(f.updates, (std::vector<bool>{true, true}));

    // Nothing made current, nothing announced.
    f.data.selectLayout(2);
    f.data.selectLayout(-1);
    f.data.selectLayoutByName("Missing");
    EXPECT_EQ(f.data.keys().currentLayoutIndex(), 0);
    EXPECT_EQ(f.updates.size(), 2u);
}

TEST(LangData, LoadingAnEmptyDictionaryResetsAndAnnouncesOnce) {
    Fixture f(Language::it);
    f.data.selectLayout(1);
    f.data.setDifficulty(4);
    f.data.setDifficultyAuto(false);
    f.data.setCapitalsOn(true);
    f.data.setNumbersOn(true);
    f.data.setPunctuationOn(true);
    f.updates.clear();

    f.data.load({});

    EXPECT_EQ(f.updates, std::vector<bool>{true});
    EXPECT_EQ(f.data.keys().currentLayoutIndex(), 0);
    EXPECT_EQ(f.data.difficulty(), 0);
    EXPECT_TRUE(f.data.difficultyAuto());
    EXPECT_FALSE(f.data.capitalsOn());
    EXPECT_FALSE(f.data.numbersOn());
    EXPECT_FALSE(f.data.punctuationOn());
    // Afterwards single stores are announced again.
    f.data.setNumbersOn(true);
    EXPECT_EQ(f.updates, (std::vector<bool>{true, true}));
}

TEST(LangData, LoadReadsItsOwnKeysWithDefaultsAndClampsTheLesson) {
    struct Case {
        const char* key;
        plist::Value value;
        int layout;
        int64_t difficulty;
        bool autoOn;
        bool capitals;
    } cases[] = {
        {"layoutTur", 1, 1, 0, true, false},
        {"layoutTur", 7, 1, 0, true, false},  // not a layout: the current one stays
        {"layoutTur", -1, 1, 0, true, false},
        {"layoutTur", "1", 0, 0, true, false},
        {"difficultyTur", 5, 0, 5, true, false},  // no layout entry: the first layout
        {"difficultyTur", 6, 0, 6, true, false},
        {"difficultyTur", 9, 0, 6, true, false},
        {"difficultyTur", -3, 0, 0, true, false},
        {"difficultyTur", "3", 0, 0, true, false},
        {"difficultyTurAuto", false, 0, 0, false, false},
        {"difficultyTurAuto", "no", 0, 0, true, false},
        {"capitalsOnTur", true, 0, 0, true, true},
        {"capitalsOnEng", true, 0, 0, true, false},  // another language's entry
    };
    for (const auto& c : cases) {
        Fixture f(Language::tr);
        f.data.selectLayout(1);
        plist::Dictionary d;
        d.set(c.key, c.value);
        f.data.load(d);
        EXPECT_EQ(f.data.keys().currentLayoutIndex(), c.layout) << c.key;
        EXPECT_EQ(f.data.difficulty(), c.difficulty) << c.key;
        EXPECT_EQ(f.data.difficultyAuto(), c.autoOn) << c.key;
        EXPECT_EQ(f.data.capitalsOn(), c.capitals) << c.key;
    }
}

TEST(LangData, DictionaryRoundTrip) {
    Fixture source(Language::pr);
    source.data.selectLayout(1);
    source.data.setDifficulty(3);
    source.data.setDifficultyAuto(false);
    source.data.setNumbersOn(true);
    source.data.setPunctuationOn(true);
    Fixture copy(Language::pr);
    copy.data.load(source.data.toDictionary());
    EXPECT_EQ(copy.data.toDictionary(), source.data.toDictionary());
    EXPECT_EQ(copy.data.keys().currentLayoutIndex(), 1);
    EXPECT_EQ(copy.data.difficulty(), 3);
}

}  // namespace
}  // namespace wv
