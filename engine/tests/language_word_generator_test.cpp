#include <gtest/gtest.h>

#include <set>

#include "engine/LanguageWordGenerator.h"
#include "engine/MistypesInfo.h"
#include "languages/LangRoot.h"
#include "platform/foundation/Random.h"
#include "platform/foundation/Text.h"

namespace wv {
namespace {

TEST(LanguageWordGeneratorTest, EveryLanguageGetsItsGeneratorWithItsLetterGroups) {
    LangRoot root(LanguageWordGenerator::factory());
    for (const auto& lang : root.languages()) {
        auto* generator = dynamic_cast<LanguageWordGenerator*>(lang->generator());
        ASSERT_NE(generator, nullptr) << languageName(lang->type());
        EXPECT_EQ(generator->base().type(), lang->type());
        const auto groups = generator->letterGroups();
        ASSERT_EQ(groups.size(), 6u);
        EXPECT_EQ(groups[0], *letterGroupsOf(languageName(lang->type()))->begin());
    }
    EXPECT_EQ(root.getLang(Language::en).currentLevelLetters(), "etao");
}

TEST(LanguageWordGeneratorTest, ALineReadsTheLessonAndOptionsOfItsLanguage) {
    ScopedRandomSource random(std::make_shared<SeededRandom>(7));
    LangRoot root(LanguageWordGenerator::factory());
    LangData& en = root.getLang(Language::en);
    en.setDifficulty(0);
    const std::string plain = en.generator()->generateText(100, 0, nullptr);
    ASSERT_FALSE(plain.empty());
    for (const std::string& c : text::characters(plain)) {
        EXPECT_NE(std::string("etao ").find(c), std::string::npos) << c << " in " << plain;
    }

    en.setNumbersOn(true);
    const std::string withNumbers = en.generator()->generateText(100, 0, nullptr);
    EXPECT_NE(withNumbers.find_first_of("0123456789"), std::string::npos) << withNumbers;
}

TEST(LanguageWordGeneratorTest, TheLineUsesUpThePracticePoolItIsGiven) {
    ScopedRandomSource random(std::make_shared<SeededRandom>(11));
    LangRoot root(LanguageWordGenerator::factory());
    LangData& en = root.getLang(Language::en);
    en.setDifficulty(1);
    MistypesInfo pool(Language::en, "nnnnnnnnhh");
    en.generator()->generateText(100, 1, &pool);
    EXPECT_LT(pool.count("n"), 8);
}

}  // namespace
}  // namespace wv
