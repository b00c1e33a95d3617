#include "languages/KeyMapBase.h"

#include <array>

#include "languages/SymbolText.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace wv {

namespace {

constexpr int kReturnKey = 36;
constexpr int kSpaceKey = 49;
constexpr int kDeleteKey = 51;

// The finger zone of each key code; -1 where no finger is assigned.
constexpr std::array<int, KeyTable::kKeyCodeLimit> makeFingerZones() {
    std::array<int, KeyTable::kKeyCodeLimit> zones{};
    for (int& z : zones) z = -1;
    auto set = [&zones](int zone, std::initializer_list<int> codes) {
        for (int code : codes) zones[size_t(code)] = zone;
    };
    set(0, {12, 0, 6, 18, 50});
    set(1, {13, 1, 7, 19});
    set(2, {14, 2, 8, 20, 21});
    set(3, {15, 3, 9, 23, 17, 5, 11, 22});
    set(4, {16, 4, 45, 26, 32, 38, 46});
    set(5, {34, 40, 43, 28});
    set(6, {31, 37, 47, 25});
    set(7, {35, 41, 44, 29, 27, 24, 33, 30, 42, 39});
    set(-1, {kSpaceKey});
    return zones;
}

constexpr auto kFingerZones = makeFingerZones();

std::string lowercased(std::string_view s) {
    if (symbol::isAscii(s)) {
        std::string out(s);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        }
        return out;
    }
    return symbol::normalized(text::lower(s));
}

}  // namespace

std::string uppercasedCharacter(std::string_view character) {
    if (character == "ß") return std::string(character);
    if (symbol::isAscii(character)) {
        std::string out(character);
        for (char& c : out) {
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        }
        return out;
    }
    std::string upper = symbol::normalized(text::upper(character));
    // Only a multi-code-point result can be more than one character; ask the segmenter then.
    if (symbol::codePointCount(upper) > 1 && text::characterCount(upper) != 1) {
        return std::string(character);
    }
    return upper;
}

KeyMapBase::KeyMapBase(Language lang, Layouts layouts) : lang_(lang), layouts_(std::move(layouts)) {
    std::erase(layouts_, nullptr);
    if (layouts_.empty()) {
        layouts_.push_back(std::make_unique<KeyboardLayoutData>("", nullptr, nullptr, nullptr));
    }
}

std::vector<std::string> KeyMapBase::layoutNames() const {
    std::vector<std::string> names;
    names.reserve(layouts_.size());
    for (const auto& layout : layouts_) names.push_back(layout->name());
    return names;
}

void KeyMapBase::selectLayout(int index) {
    if (index < 0 || index >= int(layouts_.size())) return;
    current_ = index;
}

void KeyMapBase::selectLayoutByName(std::string_view name) {
    for (size_t i = 0; i < layouts_.size(); ++i) {
        if (layouts_[i]->name() == name) {
            current_ = int(i);
            return;
        }
    }
}

std::vector<std::string> KeyMapBase::symbolsForKeyCode(int keyCode) const {
    return layoutData().symbolsForKeyCode(keyCode);
}

std::optional<std::string_view> KeyMapBase::symbolForKeyCode(int keyCode, bool shift, bool capsLock,
                                                             bool option) const {
    if (keyCode == kReturnKey || keyCode == kDeleteKey) return std::nullopt;
    if (keyCode == kSpaceKey) return std::string_view(" ");
    const KeyboardLayoutData& layout = layoutData();
    if (option && layout.hasOptionLayer()) {
        std::string_view s = layout.dicAlt()->at(keyCode);
        if (!s.empty()) return s;
    }
    if (shift) {
        std::string_view s = layout.dicShift().at(keyCode);
        if (!s.empty()) return s;
    }
    std::string_view s = layout.dic().at(keyCode);
    if (!s.empty()) return (shift || capsLock) ? layout.dic().uppercasedAt(keyCode) : s;
    Log::print("ACHTUNG: can't map symbol for code: " + std::to_string(keyCode) + ", shiftOn: " +
               (shift ? "true" : "false") + ", capsLockOn: " + (capsLock ? "true" : "false"));
    return std::nullopt;
}

int KeyMapBase::fingerForKeyCode(int keyCode) const {
    if (keyCode < 0) return kFingerZones[0];
    if (keyCode >= KeyTable::kKeyCodeLimit) return -1;
    return kFingerZones[size_t(keyCode)];
}

std::optional<int> KeyMapBase::keyCodeForSymbol(std::string_view symbol) const {
    return layoutData().keyCodeForSymbol(symbol);
}

bool KeyMapBase::isAltSymbol(std::string_view character, int keyCode) const {
    const KeyboardLayoutData& layout = layoutData();
    if (!layout.hasOptionLayer() || character.empty()) return false;
    std::string_view entry = layout.dicAlt()->at(keyCode);
    return !entry.empty() && entry == symbol::normalized(character);
}

bool KeyMapBase::isShiftSymbol(std::string_view character, int keyCode) const {
    if (character.empty()) return false;
    const KeyboardLayoutData& layout = layoutData();
    std::string s = symbol::normalized(character);
    std::string_view shifted = layout.dicShift().at(keyCode);
    if (!shifted.empty() && shifted == s) return true;
    std::string_view base = layout.dic().at(keyCode);
    if (base.empty()) return false;
    return base == lowercased(s) && base != s;
}

}  // namespace wv
