#include "languages/Language.h"

#include <gtest/gtest.h>

namespace wv {
namespace {

TEST(Language, RawValuesAreTheStoredOnes) {
    const std::pair<Language, int> table[] = {
        {Language::en, 0}, {Language::ua, 1}, {Language::ru, 2}, {Language::de, 3},
        {Language::es, 4}, {Language::fr, 5}, {Language::gr, 6}, {Language::tr, 7},
        {Language::it, 8}, {Language::pr, 9}};
    for (auto [language, raw] : table) {
        EXPECT_EQ(rawValue(language), raw);
        EXPECT_EQ(languageFromRawValue(raw), language);
    }
}

TEST(Language, OutsideZeroToNineIsNoLanguage) {
    EXPECT_EQ(languageFromRawValue(10), std::nullopt);
    EXPECT_EQ(languageFromRawValue(-1), std::nullopt);
    EXPECT_EQ(languageFromRawValue(9), Language::pr);
    EXPECT_EQ(languageFromRawValue(3), Language::de);
}

TEST(Language, TextIsTheCaseName) {
    const char* names[] = {"en", "ua", "ru", "de", "es", "fr", "gr", "tr", "it", "pr"};
    for (int raw = 0; raw < 10; ++raw) {
        EXPECT_EQ(languageName(*languageFromRawValue(raw)), names[raw]);
    }
}

}  // namespace
}  // namespace wv
