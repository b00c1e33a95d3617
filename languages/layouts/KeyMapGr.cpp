#include "languages/layouts/KeyMapGr.h"

namespace wv {

namespace {

// Layers in printed order (kKeyRowsOrder): the key left of 1, digits, - =; q .. \; a .. ';
// the ISO extra key, z .. /. "" is a key without an entry.

// clang-format off
constexpr KeyRows greek = {
    "`", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=",
    ";", "ς", "ε", "ρ", "τ", "υ", "θ", "ι", "ο", "π", "[", "]", "\\",
    "α", "σ", "δ", "φ", "γ", "η", "ξ", "κ", "λ", "\u0384", "'",
    "", "ζ", "χ", "ψ", "ω", "β", "ν", "μ", ",", ".", "/",
};

constexpr KeyRows greekShift = {
    "~", "!", "@", "#", "$", "%", "^", "&", "*", "(", ")", "_", "+",
    ":", "\u0385", "", "", "", "", "", "", "", "", "{", "}", "|",
    "", "", "", "", "", "", "", "", "", "\u00A8", "\"",
    "", "", "", "", "", "", "", "", "<", ">", "?",
};
// clang-format on

KeyMapBase::Layouts makeLayouts() {
    KeyMapBase::Layouts layouts;
    layouts.push_back(std::make_unique<KeyboardLayoutData>("Greek", greek, greekShift));
    return layouts;
}

}  // namespace

KeyMapGr::KeyMapGr() : KeyMapBase(Language::gr, makeLayouts()) {}

}  // namespace wv
