#pragma once

// Test helper: layout layers and dead-key pairs written as they are printed, so a fixture can be
// pasted text, and a check of a whole key map against them under every modifier state.
//
// A layer is four lines "Row 1: ..." to "Row 4: ..." with one token per key in the order of
// kKeyRowsOrder (13, 13, 11, 11 tokens); ∅ marks no entry and the words grave, dquote and bar
// stand for ` " |. A line "key code N: s" gives an entry outside the 48 keys.
// Dead-key pairs are "composed = sequence" items separated by new lines or ";", where the
// sequence may be written with a blank between dead key and letter ("è = grave e", "á = ´ a");
// a heading before the first pair ("Dead-key pairs (Brazilian pairs): á = ´ a; ...") is skipped.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "languages/KeyMapBase.h"
#include "languages/layouts/KeyRows.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace wv::printed {

struct Layer {
    std::array<std::string, 48> keys;  // printed order, "" for ∅
    std::vector<std::pair<int, std::string>> extra;

    std::string at(int keyCode) const {
        std::string found;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (kKeyRowsOrder[i] == keyCode) found = keys[i];
        }
        for (const auto& [code, s] : extra) {
            if (code == keyCode) found = s;
        }
        return found;
    }
    int count() const {
        int n = int(extra.size());
        for (const auto& k : keys) n += k.empty() ? 0 : 1;
        return n;
    }
    bool empty() const { return count() == 0; }
    // Views into this layer, for building a layout from it in a test.
    KeyRows rows() const {
        KeyRows r{};
        for (size_t i = 0; i < keys.size(); ++i) r[i] = keys[i];
        return r;
    }
};

inline std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

inline std::vector<std::string_view> split(std::string_view s, std::string_view separators) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || separators.find(s[i]) != std::string_view::npos) {
            if (i > start) out.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

inline std::string token(std::string_view t) {
    if (t == "∅") return "";
    if (t == "grave") return "`";
    if (t == "dquote") return "\"";
    if (t == "bar") return "|";
    return std::string(t);
}

inline Layer parseLayer(std::string_view text) {
    static constexpr std::array<size_t, 4> kRowLengths = {13, 13, 11, 11};
    Layer layer;
    size_t rowsSeen = 0;
    for (std::string_view line : split(text, "\n")) {
        line = trim(line);
        if (line.empty()) continue;
        if (line.starts_with("Row ") && line.size() > 6 && line[5] == ':') {
            size_t row = size_t(line[4] - '1');
            if (row >= 4) {
                ADD_FAILURE() << "bad row number in: " << line;
                continue;
            }
            auto tokens = split(line.substr(6), " ");
            if (tokens.size() != kRowLengths[row]) {
                ADD_FAILURE() << "row " << row + 1 << " has " << tokens.size() << " keys: " << line;
                continue;
            }
            size_t first = 0;
            for (size_t r = 0; r < row; ++r) first += kRowLengths[r];
            for (size_t i = 0; i < tokens.size(); ++i) layer.keys[first + i] = token(tokens[i]);
            ++rowsSeen;
        } else if (line.starts_with("key code ")) {
            auto colon = line.find(':');
            int code = std::stoi(std::string(line.substr(9, colon - 9)));
            layer.extra.emplace_back(code, token(trim(line.substr(colon + 1))));
        } else {
            ADD_FAILURE() << "not a printed layer line: " << line;
        }
    }
    if (rowsSeen != 4) ADD_FAILURE() << "a layer needs four rows, got " << rowsSeen;
    return layer;
}

struct Pairs {
    std::vector<std::pair<std::string, std::string>> items;  // composed, sequence
    std::vector<DeadKeyPair> views() const {
        std::vector<DeadKeyPair> v;
        for (const auto& [c, s] : items) v.push_back({c, s});
        return v;
    }
};

inline Pairs parsePairs(std::string_view text) {
    Pairs pairs;
    for (std::string_view item : split(text, "\n;")) {
        item = trim(item);
        if (item.starts_with("- ")) item = trim(item.substr(2));
        if (item.empty()) continue;
        auto eq = item.find(" = ");
        if (eq == std::string_view::npos) {
            ADD_FAILURE() << "not a dead-key pair: " << item;
            continue;
        }
        std::string_view composed = item.substr(0, eq);
        if (auto colon = composed.rfind(": "); colon != std::string_view::npos) {
            composed = composed.substr(colon + 2);  // "Dead-key pairs (...): á = ´ a"
        }
        std::string sequence;
        for (std::string_view t : split(item.substr(eq + 3), " ")) sequence += token(t);
        pairs.items.emplace_back(std::string(trim(composed)), sequence);
    }
    return pairs;
}

// "U+0061 U+0301": look-alikes differ here where they do not on screen.
inline std::string codePoints(std::string_view utf8) {
    std::string out;
    for (char32_t c : text::toUtf32(utf8)) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%sU+%04X", out.empty() ? "" : " ", unsigned(c));
        out += buf;
    }
    return out;
}

inline std::string codePointsOrNone(std::optional<std::string_view> s) {
    return s ? codePoints(*s) : std::string("none");
}

inline std::string upperOf(const std::string& s) { return s == "ß" ? s : text::upper(s); }

// Every key of the printed order under plain, Shift, Caps Lock, Option and Option+Shift on the
// current layout of `map`, expected from the printed layers by the rules of the key map; then
// the table counts, the symbols of each key and the inverse lookup of every printed symbol.
inline void expectCurrentLayoutMatches(const KeyMapBase& map, const Layer& base, const Layer& shift,
                                       const Layer* option = nullptr) {
    const KeyboardLayoutData& layout = map.layoutData();
    SCOPED_TRACE("layout " + layout.name());
    bool hasOption = option && !option->empty();
    EXPECT_EQ(layout.dic().count(), base.count());
    EXPECT_EQ(layout.dicShift().count(), shift.count());
    EXPECT_EQ(layout.hasOptionLayer(), hasOption);
    if (hasOption) {
        EXPECT_EQ(layout.dicAlt()->count(), option->count());
    }

    std::vector<int> codes(kKeyRowsOrder.begin(), kKeyRowsOrder.end());
    for (const auto& [code, s] : base.extra) codes.push_back(code);
    for (const auto& [code, s] : shift.extra) codes.push_back(code);
    if (option) {
        for (const auto& [code, s] : option->extra) codes.push_back(code);
    }
    for (int code : codes) {
        std::string b = base.at(code), sh = shift.at(code), alt = hasOption ? option->at(code) : "";
        auto orNone = [](const std::string& s) -> std::optional<std::string> {
            if (s.empty()) return std::nullopt;
            return s;
        };
        std::optional<std::string> plain = orNone(b);
        std::optional<std::string> shifted =
            !sh.empty() ? orNone(sh) : orNone(b.empty() ? b : upperOf(b));
        std::optional<std::string> caps = orNone(b.empty() ? b : upperOf(b));
        std::optional<std::string> opt = !alt.empty() ? orNone(alt) : plain;
        std::optional<std::string> optShift = !alt.empty() ? orNone(alt) : shifted;
        struct Case {
            const char* state;
            bool shift, caps, option;
            std::optional<std::string> expected;
        } cases[] = {{"plain", false, false, false, plain},
                     {"Shift", true, false, false, shifted},
                     {"Caps Lock", false, true, false, caps},
                     {"Shift+Caps Lock", true, true, false, shifted},
                     {"Option", false, false, true, opt},
                     {"Option+Shift", true, false, true, optShift}};
        for (const Case& c : cases) {
            LogCapture quiet;
            auto got = map.symbolForKeyCode(code, c.shift, c.caps, c.option);
            std::optional<std::string_view> want;
            if (c.expected) want = *c.expected;
            EXPECT_EQ(codePointsOrNone(got), codePointsOrNone(want))
                << "key " << code << " " << c.state;
            EXPECT_EQ(quiet.lines().size(), c.expected ? 0u : 1u)
                << "key " << code << " " << c.state;
        }
        std::vector<std::string> symbols;
        for (const std::string& s : {b, sh, alt}) {
            if (!s.empty()) symbols.push_back(s);
        }
        EXPECT_EQ(map.symbolsForKeyCode(code), symbols) << "key " << code;
        EXPECT_EQ(map.isAltSymbol(alt, code), !alt.empty()) << "key " << code;
    }

    // A symbol maps to a key of the last layer that has it (base, then Shift, then Option).
    std::vector<const Layer*> layers = {&base, &shift};
    if (hasOption) layers.push_back(option);
    std::vector<std::string> symbols;
    for (const Layer* l : layers) {
        for (int code : codes) {
            if (!l->at(code).empty()) symbols.push_back(l->at(code));
        }
    }
    for (const std::string& s : symbols) {
        std::vector<int> keys;
        for (const Layer* l : layers) {
            std::vector<int> here;
            for (int code : codes) {
                if (l->at(code) == s) here.push_back(code);
            }
            if (!here.empty()) keys = here;
        }
        auto got = map.keyCodeForSymbol(s);
        ASSERT_TRUE(got.has_value()) << "no key for " << codePoints(s);
        EXPECT_NE(std::find(keys.begin(), keys.end(), *got), keys.end())
            << codePoints(s) << " maps to " << *got;
    }
}

// One layout as its layers are printed, with the entry counts stated beside them.
struct PrintedLayout {
    std::string_view name;
    std::string_view base, shift, option;  // option "" for a layout without an Option layer
    int baseCount, shiftCount, optionCount;
    std::string_view deadKeys = {};  // the printed pairs the layout is given ("" for none)
    int typeablePairs = 0;           // how many of them it keeps (those it can type)
};

// The layouts of `map` against their printed form, in order: names, the stated counts, every
// key under every modifier state, the inverse lookup and the dead-key pairs kept.
inline void expectLayoutsMatch(KeyMapBase& map, std::span<const PrintedLayout> layouts) {
    ASSERT_EQ(map.layouts().size(), layouts.size());
    for (size_t i = 0; i < layouts.size(); ++i) {
        const PrintedLayout& p = layouts[i];
        SCOPED_TRACE(std::string(p.name));
        map.selectLayout(int(i));
        ASSERT_EQ(map.currentLayoutIndex(), int(i));
        EXPECT_EQ(map.layoutData().name(), p.name);
        Layer base = parseLayer(p.base), shift = parseLayer(p.shift);
        EXPECT_EQ(base.count(), p.baseCount) << "printed base layer";
        EXPECT_EQ(shift.count(), p.shiftCount) << "printed Shift layer";
        std::optional<Layer> option;
        if (!p.option.empty()) {
            option = parseLayer(p.option);
            EXPECT_EQ(option->count(), p.optionCount) << "printed Option layer";
        } else {
            EXPECT_EQ(map.layoutData().dicAlt(), nullptr);
        }
        expectCurrentLayoutMatches(map, base, shift, option ? &*option : nullptr);

        const KeyMapCombinator* combinator = map.layoutData().combinator();
        if (p.deadKeys.empty()) {
            EXPECT_EQ(combinator, nullptr);
            continue;
        }
        ASSERT_NE(combinator, nullptr);
        EXPECT_EQ(int(combinator->size()), p.typeablePairs);
        for (const auto& [composed, sequence] : parsePairs(p.deadKeys).items) {
            auto pair = KeyMapCombinator::makePair({composed, sequence});
            ASSERT_TRUE(pair.has_value()) << composed;
            bool typeable =
                map.keyCodeForSymbol(pair->deadKey) && map.keyCodeForSymbol(pair->letter);
            auto got = combinator->sequence(composed);
            if (typeable) {
                EXPECT_EQ(got, sequence) << composed;
            } else {
                EXPECT_EQ(got, std::nullopt) << composed << " cannot be typed here";
            }
            EXPECT_FALSE(combinator->contains(uppercasedCharacter(composed))) << composed;
        }
    }
}

// Every layout of the map lacks the ISO key (pressing it prints the unmapped-key line and types
// nothing) and has no Option layer (Option changes nothing, no symbol counts as an Option one).
inline void expectNoIsoKeyAndNoOptionLayer(KeyMapBase& map) {
    for (int layout = 0; layout < int(map.layouts().size()); ++layout) {
        map.selectLayout(layout);
        {
            LogCapture log;
            EXPECT_EQ(map.symbolForKeyCode(10, false, false, false), std::nullopt);
            EXPECT_EQ(map.symbolForKeyCode(10, true, false, false), std::nullopt);
            EXPECT_EQ(log.lines().size(), 2u);
        }
        for (int code : kKeyRowsOrder) {
            LogCapture quiet;
            EXPECT_EQ(map.symbolForKeyCode(code, true, false, true),
                      map.symbolForKeyCode(code, true, false, false));
            for (const std::string& s : map.symbolsForKeyCode(code)) {
                EXPECT_FALSE(map.isAltSymbol(s, code));
            }
        }
    }
}

}  // namespace wv::printed
