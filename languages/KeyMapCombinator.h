#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "languages/layouts/KeyRows.h"

namespace wv {

// A layout's dead-key table: a composed letter and the two key presses that type it, the dead
// key first ("ê" -> "^e"). The typing line accepts either the letter or its two presses.
// Characters are compared in NFC; a table holds about a dozen pairs, so lookups scan.
class KeyMapCombinator {
  public:
    struct Pair {
        std::string composed;
        std::string deadKey;
        std::string letter;
        std::string sequence() const { return deadKey + letter; }
    };

    // A printed pair as a `Pair`; none unless the sequence is exactly two code points.
    static std::optional<Pair> makePair(const DeadKeyPair& printed);

    explicit KeyMapCombinator(std::vector<Pair> pairs);
    explicit KeyMapCombinator(std::span<const DeadKeyPair> printed);

    // The two-key sequence of `character` (dead key, then letter), or none.
    std::optional<std::string> sequence(std::string_view character) const;
    bool contains(std::string_view character) const;
    // Whether `typed` is the dead key (first press) of the pair of `expected`.
    bool isFirstKey(std::string_view typed, std::string_view expected) const;
    // Whether `typed` is the letter (second press) of the pair of `expected`.
    bool isSecondKey(std::string_view typed, std::string_view expected) const;

    // The pairs, in the order given (`dic` of the table).
    const std::vector<Pair>& pairs() const { return pairs_; }
    size_t size() const { return pairs_.size(); }

  private:
    const Pair* find(std::string_view character) const;

    std::vector<Pair> pairs_;
};

}  // namespace wv
