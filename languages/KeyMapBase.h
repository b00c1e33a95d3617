#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "languages/KeyboardLayoutData.h"
#include "languages/Language.h"

namespace wv {

// The upper case of one character for Shift and Caps Lock: "ß" stays "ß"; a character whose
// upper case is not a single character (for example "ŉ") stays as it is.
std::string uppercasedCharacter(std::string_view character);

// A language's key map: its layouts in their fixed order (the index is the layout number that
// settings and lesson records store), the current one, and the finger of every key.
// Used from one thread at a time.
class KeyMapBase {
  public:
    using Layouts = std::vector<std::unique_ptr<KeyboardLayoutData>>;

    // Makes layout 0 current. An empty list is a programming error; it gets one empty layout
    // so that the map still answers.
    KeyMapBase(Language lang, Layouts layouts);
    virtual ~KeyMapBase() = default;
    KeyMapBase(const KeyMapBase&) = delete;
    KeyMapBase& operator=(const KeyMapBase&) = delete;

    Language lang() const { return lang_; }
    const Layouts& layouts() const { return layouts_; }
    const KeyboardLayoutData& layoutData() const { return *layouts_[size_t(current_)]; }

    std::vector<std::string> layoutNames() const;
    // An index outside the list changes nothing.
    void selectLayout(int index);
    int currentLayoutIndex() const { return current_; }
    // The first layout of that name; an unknown name changes nothing.
    void selectLayoutByName(std::string_view name);

    std::vector<std::string> symbolsForKeyCode(int keyCode) const;

    // What a key press types on the current layout. Return (36) and Delete (51) give none
    // quietly; space (49) gives " "; an Option entry wins over Shift, a Shift entry over the
    // base entry, and the base entry is upper-cased for Shift or Caps Lock. A key without a
    // symbol prints "ACHTUNG: can't map symbol for code: ..." and gives none.
    // A table look-up: the view stays valid as long as the key map.
    std::optional<std::string_view> symbolForKeyCode(int keyCode, bool shift, bool capsLock,
                                                     bool option) const;

    // Zone 0..3 left little..index finger, 4..7 right index..little finger, -1 thumb or none.
    // A negative code gives the zone of key 0.
    int fingerForKeyCode(int keyCode) const;

    // The key of a symbol on the current layout; none for "" or a symbol it lacks. Case is
    // not folded: callers pass the lower-cased character.
    std::optional<int> keyCodeForSymbol(std::string_view symbol) const;
    // Whether `character` is the Option-layer symbol of the key.
    bool isAltSymbol(std::string_view character, int keyCode) const;
    // Whether typing `character` on the key needs Shift.
    bool isShiftSymbol(std::string_view character, int keyCode) const;

  private:
    Language lang_;
    Layouts layouts_;
    int current_ = 0;
};

}  // namespace wv
