#include <gtest/gtest.h>

#include "languages/layouts/KeyMapGr.h"
#include "languages/tests/KeyPresses.h"
#include "languages/tests/PrintedRows.h"

namespace wv {
namespace {

using presses::kCaps;
using presses::kOption;
using presses::kPlain;
using presses::kShift;
using presses::Press;

// The layers as printed.
// clang-format off
constexpr std::string_view greek = R"(
Row 1: grave 1 2 3 4 5 6 7 8 9 0 - =
Row 2: ; ς ε ρ τ υ θ ι ο π [ ] \
Row 3: α σ δ φ γ η ξ κ λ ΄ '
Row 4: ∅ ζ χ ψ ω β ν μ , . /
)";

constexpr std::string_view greekShift = R"(
Row 1: ~ ! @ # $ % ^ & * ( ) _ +
Row 2: : ΅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ { } bar
Row 3: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ¨ dquote
Row 4: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ < > ?
)";

// clang-format on

// The capitals of the letter keys (Greek capitals; the final sigma's is Σ as well).
// clang-format off
constexpr std::string_view capitals = R"(
Row 1: ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅ ∅
Row 2: ∅ Σ Ε Ρ Τ Υ Θ Ι Ο Π ∅ ∅ ∅
Row 3: Α Σ Δ Φ Γ Η Ξ Κ Λ ∅ ∅
Row 4: ∅ Ζ Χ Ψ Ω Β Ν Μ ∅ ∅ ∅
)";
// clang-format on

TEST(KeyMapGr, TheLayoutTypesItsPrintedRows) {
    const printed::PrintedLayout layouts[] = {
        {"Greek", greek, greekShift, "", 47, 23, 0},
    };
    KeyMapGr map;
    EXPECT_EQ(map.lang(), Language::gr);
    printed::expectLayoutsMatch(map, layouts);
}

TEST(KeyMapGr, OneLayout) {
    KeyMapGr map;
    EXPECT_EQ(map.layoutNames(), (std::vector<std::string>{"Greek"}));
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    map.selectLayout(1);
    EXPECT_EQ(map.currentLayoutIndex(), 0);
    EXPECT_EQ(map.layoutData().combinator(), nullptr);
}

TEST(KeyMapGr, CapitalsAndTheFinalSigma) {
    KeyMapGr map;
    presses::expectCapitals(map, capitals);
    const Press presses[] = {
        {13, kPlain, "\u03C2"},         {13, kShift, "\u0385"}, {13, kCaps, "\u03A3"},
        {13, kShift | kCaps, "\u0385"}, {1, kPlain, "\u03C3"},  {1, kShift, "\u03A3"},
        {1, kCaps, "\u03A3"},
    };
    presses::expectPresses(map, presses);
}

TEST(KeyMapGr, AccentKeysArePlainCharacters) {
    KeyMapGr map;
    const Press presses[] = {
        {12, kPlain, ";"},     {12, kShift, ":"},  {41, kPlain, "\u0384"}, {41, kShift, "\u00A8"},
        {41, kCaps, "\u0384"}, {42, kPlain, "\\"}, {42, kShift, "|"},
    };
    presses::expectPresses(map, presses);
    for (const char* accented : {"\u03AC", "\u03AD", "\u03AE", "\u03AF", "\u03CC", "\u03CD",
                                 "\u03CE", "\u03CA", "\u03CB", "\u0390", "\u03B0", "\u0386"}) {
        EXPECT_EQ(map.keyCodeForSymbol(accented), std::nullopt) << accented;
        EXPECT_FALSE(presses::anyKeyTypes(map, accented)) << accented;
    }
}

TEST(KeyMapGr, EverySymbolStandsOnOneKey) {
    KeyMapGr map;
    for (int key : kKeyRowsOrder) {
        for (const std::string& s : map.symbolsForKeyCode(key)) {
            EXPECT_EQ(map.keyCodeForSymbol(s), key) << printed::codePoints(s);
        }
    }
}

TEST(KeyMapGr, KeyTenAndOption) {
    KeyMapGr map;
    for (bool shift : {false, true}) {
        LogCapture log;
        EXPECT_EQ(map.symbolForKeyCode(10, shift, false, false), std::nullopt);
        EXPECT_EQ(log.lines().size(), 1u);
    }
    for (int key : kKeyRowsOrder) {
        for (unsigned other : {kPlain, kShift, kCaps}) {
            EXPECT_EQ(presses::type(map, key, kOption | other), presses::type(map, key, other));
        }
        for (const std::string& s : map.symbolsForKeyCode(key)) {
            EXPECT_FALSE(map.isAltSymbol(s, key));
        }
    }
}

}  // namespace
}  // namespace wv
