#include "engine/Capitalizer.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "languages/KeyMapBase.h"
#include "languages/layouts/KeyMapDe.h"
#include "languages/layouts/KeyMapEn.h"

namespace wv {
namespace {

TEST(Capitalizer, FollowsTheLanguagesCaseRules) {
    // clang-format off
    struct Case {
        const char* locale;
        const char* word;
        const char* capitalised;
    } cases[] = {
        {"", "istanbul", "Istanbul"},
        {"en", "istanbul", "Istanbul"},
        {"tr", "istanbul", "İstanbul"},
        {"tr", "ılık", "Ilık"},
        {"ru", "привет", "Привет"},
        {"uk", "їжак", "Їжак"},
        {"el", "άλφα", "Άλφα"},
        {"de", "ärger", "Ärger"},
        {"de", "ßa", "SSa"},                   // the full mapping may give more than one character
        {"fr", "e\u0301te\u0301", "E\u0301te\u0301"},  // the accent stays with its letter
        {"", "42", "42"},
        {"", "", ""},
        {"", "Abc", "Abc"},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(Capitalizer(c.locale, nullptr).capitalize(c.word), c.capitalised)
            << c.locale << " " << c.word;
    }
    EXPECT_EQ(Capitalizer().capitalize("istanbul"), "Istanbul");
}

TEST(Capitalizer, KeepsTheWordWhenTheCapitalCannotBeTyped) {
    std::vector<std::string> asked;
    Capitalizer capitals("tr", [&asked](std::string_view capital) {
        asked.emplace_back(capital);
        return capital != "İ";
    });
    EXPECT_EQ(capitals.capitalize("istanbul"), "istanbul");
    EXPECT_EQ(capitals.capitalize("ankara"), "Ankara");
    EXPECT_EQ(capitals.capitalize("2019"), "2019");  // no capital to type: not asked
    EXPECT_EQ(asked, (std::vector<std::string>{"İ", "A"}));
}

// Two small layouts: the first types "İ" and "O" with Shift, "E" as the upper case of "e", and
// "Ô" as the dead key "^" then "O"; the second has only "a", "b" and "ü".
std::unique_ptr<KeyMapBase> turkishKeyMap() {
    KeyRows base{}, shift{}, other{}, otherShift{};
    base[0] = "i";
    shift[0] = "İ";
    base[1] = "o";
    shift[1] = "O";
    base[2] = "^";
    base[3] = "e";
    other[0] = "a";
    other[1] = "b";
    other[2] = "ü";
    static const std::array<DeadKeyPair, 2> pairs{{{"Ô", "^O"}, {"ô", "^o"}}};
    KeyMapBase::Layouts layouts;
    layouts.push_back(std::make_unique<KeyboardLayoutData>("first", base, shift, nullptr, pairs));
    layouts.push_back(std::make_unique<KeyboardLayoutData>("second", other, otherShift));
    return std::make_unique<KeyMapBase>(Language::tr, std::move(layouts));
}

TEST(Capitalizer, ForAKeyMapUsesItsLanguageAndItsCurrentLayout) {
    auto keys = turkishKeyMap();
    const Capitalizer capitals = Capitalizer::forKeyMap(*keys);
    // clang-format off
    struct Case {
        int layout;
        const char* word;
        const char* rendered;
    } cases[] = {
        {0, "istanbul", "İstanbul"},  // Turkish rules, Shift entry
        {0, "ocak", "Ocak"},
        {0, "ôter", "Ôter"},          // a dead-key pair
        {0, "ekim", "Ekim"},          // Shift on a base key without a Shift entry
        {0, "ağır", "ağır"},          // no "A" on this layout
        {1, "istanbul", "istanbul"},
        {1, "ağır", "Ağır"},
        {1, "über", "Über"},
        {1, "ôter", "ôter"},
    };
    // clang-format on
    for (const auto& c : cases) {
        keys->selectLayout(c.layout);
        EXPECT_EQ(capitals.capitalize(c.word), c.rendered) << c.layout << " " << c.word;
    }
}

TEST(Capitalizer, ForTheShippedLayouts) {
    KeyMapEn english;
    KeyMapDe german;
    // clang-format off
    struct Case {
        const KeyMapBase& keys;
        const char* word;
        const char* rendered;
    } cases[] = {
        {english, "istanbul", "Istanbul"},
        {german, "ärger", "Ärger"},
        {german, "über", "Über"},
        {german, "ßa", "ßa"},  // "SS" is no key's capital
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(Capitalizer::forKeyMap(c.keys).capitalize(c.word), c.rendered) << c.word;
    }
}

}  // namespace
}  // namespace wv
