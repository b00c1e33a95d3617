#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "languages/KeyMapCombinator.h"
#include "languages/KeyTable.h"
#include "languages/layouts/KeyRows.h"

namespace wv {

enum class KeyLayer { Base, Shift, Option };

// One keyboard layout: the symbol of every key on the base, Shift and (for some) Option layer,
// the inverse lookup from a symbol to its key, and the dead-key pairs it can type.
// Built once, never changed, never copied; the key map owns it.
class KeyboardLayoutData {
  public:
    using Table = std::shared_ptr<const KeyTable>;

    // Tables from printed rows; `option` may be null (no Option layer).
    KeyboardLayoutData(std::string name, const KeyRows& base, const KeyRows& shift,
                       const KeyRows* option = nullptr, std::span<const DeadKeyPair> deadKeys = {});
    // Tables built elsewhere, possibly shared with other layouts; `option` may be null.
    KeyboardLayoutData(std::string name, Table base, Table shift, Table option,
                       std::span<const DeadKeyPair> deadKeys = {});

    KeyboardLayoutData(const KeyboardLayoutData&) = delete;
    KeyboardLayoutData& operator=(const KeyboardLayoutData&) = delete;

    const std::string& name() const { return name_; }

    // The layers as given (the base layer without the space that `symbol` adds for key 49).
    const KeyTable& dic() const { return *base_; }
    const KeyTable& dicShift() const { return *shift_; }
    const KeyTable* dicAlt() const { return option_.get(); }
    // An Option layer that exists and has at least one entry.
    bool hasOptionLayer() const { return option_ && !option_->empty(); }

    // The layer's entry for the key, "" for none; the base layer gives " " for key 49.
    std::string_view symbol(KeyLayer layer, int keyCode) const;

    // `dicInverse`: the key of a symbol (NFC-compared). A symbol on several layers maps to the
    // key of the last layer (base, then Shift, then Option); within one layer the higher key
    // code wins. " " maps to 49.
    std::optional<int> keyCodeForSymbol(std::string_view symbol) const;

    // The key's symbols on the base, Shift and Option layers, in that order, skipping layers
    // without an entry; [" "] for key 49.
    std::vector<std::string> symbolsForKeyCode(int keyCode) const;

    // The dead-key table, or null when the layout was given no pairs. It holds only the pairs
    // whose dead key and letter both stand on some key of this layout: a pair for a dead key
    // the layout does not have could never be typed.
    const KeyMapCombinator* combinator() const { return combinator_.get(); }

    // Tables drawn on an ISO keyboard put "<" on key 50: there key 50 is the key beside the
    // left Shift, not the key left of 1. Physical key mapping swaps keys 50 and 10 for them.
    bool isIsoTable() const { return isoTable_; }

  private:
    void buildInverse();
    void buildCombinator(std::span<const DeadKeyPair> deadKeys);

    std::string name_;
    Table base_;
    Table shift_;
    Table option_;
    std::vector<std::pair<std::string, int>> inverse_;  // sorted by symbol, one entry each
    std::unique_ptr<KeyMapCombinator> combinator_;
    bool isoTable_ = false;
};

}  // namespace wv
