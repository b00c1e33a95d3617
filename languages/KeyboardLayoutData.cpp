#include "languages/KeyboardLayoutData.h"

#include <algorithm>

#include "languages/SymbolText.h"

namespace wv {

namespace {

constexpr int kSpaceKey = 49;
constexpr int kLeftOfOneKey = 50;

KeyboardLayoutData::Table tableOrEmpty(KeyboardLayoutData::Table table) {
    return table ? std::move(table) : std::make_shared<const KeyTable>();
}

}  // namespace

KeyboardLayoutData::KeyboardLayoutData(std::string name, const KeyRows& base, const KeyRows& shift,
                                       const KeyRows* option, std::span<const DeadKeyPair> deadKeys)
    : KeyboardLayoutData(std::move(name), std::make_shared<const KeyTable>(base),
                         std::make_shared<const KeyTable>(shift),
                         option ? std::make_shared<const KeyTable>(*option) : nullptr, deadKeys) {}

KeyboardLayoutData::KeyboardLayoutData(std::string name, Table base, Table shift, Table option,
                                       std::span<const DeadKeyPair> deadKeys)
    : name_(std::move(name)),
      base_(tableOrEmpty(std::move(base))),
      shift_(tableOrEmpty(std::move(shift))),
      option_(std::move(option)) {
    buildInverse();
    buildCombinator(deadKeys);
    isoTable_ = base_->at(kLeftOfOneKey) == "<";
}

void KeyboardLayoutData::buildInverse() {
    struct Candidate {
        std::string_view symbol;
        int keyCode;
    };
    std::vector<Candidate> all;
    all.reserve(size_t(base_->count() + shift_->count() + (option_ ? option_->count() : 0)) + 1);
    for (const KeyTable* table : {base_.get(), shift_.get(), option_.get()}) {
        if (!table) continue;
        for (int code = 0; code < KeyTable::kKeyCodeLimit; ++code) {
            std::string_view s = table->at(code);
            if (!s.empty()) all.push_back({s, code});
        }
    }
    all.push_back({" ", kSpaceKey});
    // The last assignment of a symbol wins, as if the layers were entered one after another.
    std::stable_sort(all.begin(), all.end(),
                     [](const Candidate& a, const Candidate& b) { return a.symbol < b.symbol; });
    inverse_.reserve(all.size());
    for (size_t i = 0; i < all.size(); ++i) {
        if (i + 1 < all.size() && all[i + 1].symbol == all[i].symbol) continue;
        inverse_.emplace_back(std::string(all[i].symbol), all[i].keyCode);
    }
}

void KeyboardLayoutData::buildCombinator(std::span<const DeadKeyPair> deadKeys) {
    if (deadKeys.empty()) return;
    std::vector<KeyMapCombinator::Pair> typeable;
    typeable.reserve(deadKeys.size());
    for (const DeadKeyPair& printed : deadKeys) {
        auto pair = KeyMapCombinator::makePair(printed);
        if (!pair || !keyCodeForSymbol(pair->deadKey) || !keyCodeForSymbol(pair->letter)) continue;
        typeable.push_back(std::move(*pair));
    }
    combinator_ = std::make_unique<KeyMapCombinator>(std::move(typeable));
}

std::string_view KeyboardLayoutData::symbol(KeyLayer layer, int keyCode) const {
    switch (layer) {
        case KeyLayer::Base:
            return keyCode == kSpaceKey ? std::string_view(" ") : base_->at(keyCode);
        case KeyLayer::Shift:
            return shift_->at(keyCode);
        case KeyLayer::Option:
            return option_ ? option_->at(keyCode) : std::string_view();
    }
    return {};
}

std::optional<int> KeyboardLayoutData::keyCodeForSymbol(std::string_view symbol) const {
    if (symbol.empty()) return std::nullopt;
    auto find = [this](std::string_view key) -> std::optional<int> {
        auto it = std::lower_bound(
            inverse_.begin(), inverse_.end(), key,
            [](const std::pair<std::string, int>& e, std::string_view k) { return e.first < k; });
        if (it == inverse_.end() || it->first != key) return std::nullopt;
        return it->second;
    };
    if (symbol::isAscii(symbol)) return find(symbol);
    return find(symbol::normalized(symbol));
}

std::vector<std::string> KeyboardLayoutData::symbolsForKeyCode(int keyCode) const {
    std::vector<std::string> out;
    for (KeyLayer layer : {KeyLayer::Base, KeyLayer::Shift, KeyLayer::Option}) {
        std::string_view s = symbol(layer, keyCode);
        if (!s.empty()) out.emplace_back(s);
    }
    return out;
}

}  // namespace wv
