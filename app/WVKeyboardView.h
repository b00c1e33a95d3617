#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/View.h"

class QRect;

namespace wv {

class KeyMapBase;
class WVKeyboardButton;
class WVMainViewModel;
class WVModifierButton;

// The on-screen keyboard under the exercise line. It draws nothing itself: its keys are its
// direct subviews, each tagged with its macOS virtual key code, character keys (and Tab,
// Delete, Return) as WVKeyboardButton, modifier keys as WVModifierButton. The view decides
// which key shows what: the result of a typed key, the pulse of the next key, lit Shift and
// Option keys, captions for the learning layout and modifier state, and the typo heat map.
// Coordinates inside the view grow downward.
//
// Key codes are those of the learning layout. A layout table drawn on an ISO keyboard
// (KeyboardLayoutData::isIsoTable) numbers the key left of 1 and the key beside the left Shift
// the other way round from the keys' tags; once updateCaptions has seen such a layout, every
// code given to the view is read that way, so captions, pulse, flash and heat land on the key
// that types the character.
class WVKeyboardView : public View {
  public:
    // An empty keyboard; keys are added as subviews, then registerKeyButtons().
    explicit WVKeyboardView(const Rect& frame = {});
    // The full keyboard of the application (see KeyboardKeyTable), registered; its keys keep
    // their places when the keyboard is resized.
    static WVKeyboardView* makeStandard(const Rect& frame);

    std::map<std::int64_t, WVKeyboardButton*> keysMap;
    std::map<std::int64_t, WVModifierButton*> keysMapModifiers;
    // The key that pulses as the next key to type, or nullptr.
    WVKeyboardButton* highlightedKey = nullptr;

    WVModifierButton* leftShiftKey() const;     // 56
    WVModifierButton* rightShiftKey() const;    // 60
    WVModifierButton* capsLockKey() const;      // 57
    WVModifierButton* rightCommandKey() const;  // 54
    WVModifierButton* leftCommandKey() const;   // 55
    WVModifierButton* leftOptionKey() const;    // 58
    WVModifierButton* rightOptionKey() const;   // 61
    WVModifierButton* controlKey() const;       // 59
    WVKeyboardButton* tabKey() const;           // 48
    WVKeyboardButton* deleteKey() const;        // 51
    WVKeyboardButton* returnKey() const;        // 36

    // Fills both maps from the direct subviews (buttons with a tag of 0 or more; a later
    // button with the same tag wins). Called once, before anything else.
    virtual void registerKeyButtons();
    // A right key is clicked (border "keyBorderCorrect"); a wrong key flashes red unless it
    // shows the heat map. A code without a key does nothing.
    virtual void flashKey(std::int64_t keyCode, bool isError);
    // Makes the key pulse from the next turn of the main loop, so the last call of a turn
    // wins; none (or a code without a key) stops the pulse.
    virtual void highlightKey(std::optional<std::int64_t> keyCode);
    // Lights ("keyCommandPressed") or unlights ("keyCommandDisabled") the left and right keys.
    virtual void showShiftKeys(bool left, bool right);
    virtual void showOptionKeys(bool left, bool right);
    // Stops the pulse of highlightedKey, which stays remembered.
    void clearHighlight();
    // No next key at all (key hints off, or a character no key types): no pulse, and neither
    // Shift nor Option keys lit.
    void clearKeyHints();

    // Captions every key from the layout for the modifier state of `modifiers`, dims (caption
    // opacity 0.15) the keys whose lower-cased caption is not in `learnedLetters`, and returns
    // every key to its plain look (no pulse, flash or heat shade).
    void updateCaptions(const std::string& learnedLetters, const KeyMapBase& keyMap,
                        const WVMainViewModel& modifiers);
    // The state flags themselves: Shift, Caps Lock, Option.
    void updateCaptions(const std::string& learnedLetters, const KeyMapBase& keyMap, bool shift,
                        bool capsLock, bool option);

    using Mistypes = std::vector<std::pair<std::string, std::int64_t>>;
    using SymbolsOfKey = std::function<std::vector<std::string>(std::int64_t keyCode)>;
    // After a finished line: keys whose characters were mistyped show a red shade by how often,
    // captioned with those characters; the other captioned keys show no shade; modifier keys
    // are unlit. Stays until the next updateCaptions.
    void showTypoHeatMap(const Mistypes& mistypes, const SymbolsOfKey& symbolsOfKey);

    // Draws what lies under the keyboard: the part `area` (the keyboard's Qt coordinates) at the
    // same place in `painter`, whose coordinates are the keyboard's.
    using Backdrop = std::function<void(QPainter& painter, const QRect& area)>;
    // With a backdrop the keyboard and its keys draw it where they are see-through, and Qt
    // takes them for opaque: a key that changes (a pulse frame, a lit key) is drawn alone, not
    // with everything under it. Set once the keys are added; nullptr makes them see-through
    // again.
    void setBackdrop(Backdrop backdrop);
    const Backdrop& backdrop() const { return backdrop_; }

  protected:
    void frameSizeChanged(Size oldSize) override;

  private:
    WVModifierButton* modifier(std::int64_t code) const;
    WVKeyboardButton* key(std::int64_t code) const;
    // The key (by tag) of a code of the learning layout, and back: the same swap both ways.
    std::int64_t physicalCode(std::int64_t layoutCode) const;
    void setLit(std::int64_t code, bool lit);

    // The backdrop under `region` of a view that lies at `at` in the keyboard.
    void drawBackdrop(QPainter& painter, QPoint at, const QRegion& region) const;

    bool standardLayout_ = false;
    bool isoTable_ = false;
    Backdrop backdrop_;
};

}  // namespace wv
