#include "languages/KeyTable.h"

#include "languages/KeyMapBase.h"
#include "languages/SymbolText.h"

namespace wv {

KeyTable::KeyTable(const KeyRows& rows, std::span<const KeyEntry> extra) {
    for (size_t i = 0; i < rows.size(); ++i) set(kKeyRowsOrder[i], rows[i]);
    for (const KeyEntry& entry : extra) set(entry.keyCode, entry.symbol);
}

void KeyTable::set(int keyCode, std::string_view symbol) {
    if (keyCode < 0 || keyCode >= kKeyCodeLimit) return;
    std::string& slot = symbols_[size_t(keyCode)];
    if (!slot.empty()) --count_;
    slot = symbol::normalized(symbol);
    uppercased_[size_t(keyCode)] = slot.empty() ? std::string() : uppercasedCharacter(slot);
    if (!slot.empty()) ++count_;
}

std::string_view KeyTable::at(int keyCode) const {
    if (keyCode < 0 || keyCode >= kKeyCodeLimit) return {};
    return symbols_[size_t(keyCode)];
}

std::string_view KeyTable::uppercasedAt(int keyCode) const {
    if (keyCode < 0 || keyCode >= kKeyCodeLimit) return {};
    return uppercased_[size_t(keyCode)];
}

}  // namespace wv
