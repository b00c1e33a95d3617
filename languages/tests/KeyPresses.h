#pragma once

// Test helper: key presses with their modifier state and the character each must type, and the
// check that every dead-key pair of a layout can be typed as two presses.

#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "languages/KeyMapBase.h"
#include "languages/SymbolText.h"
#include "languages/tests/PrintedRows.h"
#include "platform/foundation/Log.h"

namespace wv::presses {

// Modifier states, combined with |.
inline constexpr unsigned kPlain = 0;
inline constexpr unsigned kShift = 1;
inline constexpr unsigned kCaps = 2;
inline constexpr unsigned kOption = 4;

struct Press {
    int key;
    unsigned modifiers;
    const char* expected;  // nullptr: the key types nothing
};

inline std::optional<std::string_view> type(const KeyMapBase& map, int key, unsigned modifiers) {
    LogCapture quiet;
    return map.symbolForKeyCode(key, modifiers & kShift, modifiers & kCaps, modifiers & kOption);
}

inline void expectPresses(const KeyMapBase& map, std::span<const Press> presses) {
    for (const Press& p : presses) {
        std::optional<std::string_view> want;
        if (p.expected) want = p.expected;
        EXPECT_EQ(printed::codePointsOrNone(type(map, p.key, p.modifiers)),
                  printed::codePointsOrNone(want))
            << map.layoutData().name() << " key " << p.key << " modifiers " << p.modifiers;
    }
}

// The key and modifiers that type a dead key, as the next-key hint finds them.
struct DeadKey {
    const char* symbol;
    int key;
    unsigned modifiers;  // kPlain, kShift or kOption
};

// Every pair of the current layout, typed as the hint shows it: the dead key is found on the
// expected key with the expected modifier and types itself there; the letter is a base-layer
// letter typed without modifiers.
inline void expectPairsTypeable(const KeyMapBase& map, std::span<const DeadKey> deadKeys) {
    const KeyMapCombinator* combinator = map.layoutData().combinator();
    ASSERT_NE(combinator, nullptr) << map.layoutData().name();
    for (const KeyMapCombinator::Pair& pair : combinator->pairs()) {
        SCOPED_TRACE(map.layoutData().name() + " " + pair.composed);
        const DeadKey* expected = nullptr;
        for (const DeadKey& d : deadKeys) {
            if (pair.deadKey == d.symbol) expected = &d;
        }
        ASSERT_NE(expected, nullptr) << "unexpected dead key " << printed::codePoints(pair.deadKey);
        auto key = map.keyCodeForSymbol(pair.deadKey);
        ASSERT_EQ(key, expected->key);
        EXPECT_EQ(map.isShiftSymbol(pair.deadKey, *key), bool(expected->modifiers & kShift));
        EXPECT_EQ(map.isAltSymbol(pair.deadKey, *key), bool(expected->modifiers & kOption));
        EXPECT_EQ(type(map, *key, expected->modifiers),
                  std::optional<std::string_view>(pair.deadKey));

        auto letterKey = map.keyCodeForSymbol(pair.letter);
        ASSERT_TRUE(letterKey.has_value());
        EXPECT_FALSE(map.isShiftSymbol(pair.letter, *letterKey));
        EXPECT_FALSE(map.isAltSymbol(pair.letter, *letterKey));
        EXPECT_EQ(type(map, *letterKey, kPlain), std::optional<std::string_view>(pair.letter));
    }
}

// Caps Lock on the current layout against a printed layer of capitals: a key with an entry types
// it with Caps Lock, and with Shift too unless the key has a Shift entry of its own; a key
// marked ∅ types with Caps Lock what it types plain.
inline void expectCapitals(const KeyMapBase& map, std::string_view capitals) {
    printed::Layer layer = printed::parseLayer(capitals);
    for (int key : kKeyRowsOrder) {
        std::string capital = layer.at(key);
        std::optional<std::string_view> want = type(map, key, kPlain);
        if (!capital.empty()) want = capital;
        EXPECT_EQ(printed::codePointsOrNone(type(map, key, kCaps)), printed::codePointsOrNone(want))
            << map.layoutData().name() << " key " << key;
        if (!capital.empty() && !map.layoutData().dicShift().contains(key)) {
            EXPECT_EQ(printed::codePointsOrNone(type(map, key, kShift)),
                      printed::codePointsOrNone(want))
                << map.layoutData().name() << " key " << key << " with Shift";
        }
    }
}

// Whether any key of the current layout types `character` under any modifier state.
inline bool anyKeyTypes(const KeyMapBase& map, std::string_view character) {
    std::string wanted = symbol::normalized(character);
    for (int key = 0; key < KeyTable::kKeyCodeLimit; ++key) {
        for (unsigned modifiers = 0; modifiers < 8; ++modifiers) {
            auto got = type(map, key, modifiers);
            if (got && *got == wanted) return true;
        }
    }
    return false;
}

}  // namespace wv::presses
