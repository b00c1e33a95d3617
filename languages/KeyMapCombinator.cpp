#include "languages/KeyMapCombinator.h"

#include "languages/SymbolText.h"

namespace wv {

std::optional<KeyMapCombinator::Pair> KeyMapCombinator::makePair(const DeadKeyPair& printed) {
    std::string composed = symbol::normalized(printed.composed);
    std::string sequence = symbol::normalized(printed.sequence);
    if (composed.empty() || symbol::codePointCount(sequence) != 2) return std::nullopt;
    std::string deadKey(symbol::firstCodePoint(sequence));
    std::string letter = sequence.substr(deadKey.size());
    return Pair{std::move(composed), std::move(deadKey), std::move(letter)};
}

KeyMapCombinator::KeyMapCombinator(std::vector<Pair> pairs) : pairs_(std::move(pairs)) {}

KeyMapCombinator::KeyMapCombinator(std::span<const DeadKeyPair> printed) {
    pairs_.reserve(printed.size());
    for (const DeadKeyPair& p : printed) {
        if (auto pair = makePair(p)) pairs_.push_back(std::move(*pair));
    }
}

const KeyMapCombinator::Pair* KeyMapCombinator::find(std::string_view character) const {
    if (character.empty()) return nullptr;
    if (symbol::isAscii(character)) {
        for (const Pair& p : pairs_) {
            if (p.composed == character) return &p;
        }
        return nullptr;
    }
    std::string key = symbol::normalized(character);
    for (const Pair& p : pairs_) {
        if (p.composed == key) return &p;
    }
    return nullptr;
}

std::optional<std::string> KeyMapCombinator::sequence(std::string_view character) const {
    const Pair* p = find(character);
    if (!p) return std::nullopt;
    return p->sequence();
}

bool KeyMapCombinator::contains(std::string_view character) const {
    return find(character) != nullptr;
}

bool KeyMapCombinator::isFirstKey(std::string_view typed, std::string_view expected) const {
    const Pair* p = find(expected);
    return p && p->deadKey == symbol::normalized(typed);
}

bool KeyMapCombinator::isSecondKey(std::string_view typed, std::string_view expected) const {
    const Pair* p = find(expected);
    return p && p->letter == symbol::normalized(typed);
}

}  // namespace wv
