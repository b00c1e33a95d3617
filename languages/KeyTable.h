#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "languages/layouts/KeyRows.h"

namespace wv {

// An entry for a key outside the 48 keys of the printed rows.
struct KeyEntry {
    int keyCode;
    std::string_view symbol;
};

// One layer of a layout: key code -> symbol, as a flat array so that a key press is one index.
// Symbols are kept in NFC together with their upper-cased form (`uppercasedCharacter`), which is
// computed here once so that typing a capital never calls into the case mapper.
// Immutable once built; layouts may share one table.
class KeyTable {
  public:
    // Key codes at or above this have no entry (the platform's character keys are all below).
    static constexpr int kKeyCodeLimit = 128;

    KeyTable() = default;
    // `rows` in printed order ("" for no entry), then `extra` entries; a code outside
    // 0..kKeyCodeLimit-1 is ignored, and a later entry for the same code replaces the earlier.
    explicit KeyTable(const KeyRows& rows, std::span<const KeyEntry> extra = {});

    // The symbol of the key, or "" when the layer has no entry for it (any code is accepted).
    std::string_view at(int keyCode) const;
    std::string_view uppercasedAt(int keyCode) const;
    bool contains(int keyCode) const { return !at(keyCode).empty(); }

    int count() const { return count_; }
    bool empty() const { return count_ == 0; }

  private:
    void set(int keyCode, std::string_view symbol);

    std::array<std::string, kKeyCodeLimit> symbols_;
    std::array<std::string, kKeyCodeLimit> uppercased_;
    int count_ = 0;
};

}  // namespace wv
