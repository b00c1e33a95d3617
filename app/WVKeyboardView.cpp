#include "app/WVKeyboardView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>

#include "app/KeyboardKeyTable.h"
#include "app/WVKeyboardButton.h"
#include "app/WVMainViewModel.h"
#include "app/WVModifierButton.h"
#include "languages/KeyMapBase.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/Text.h"
#include "platform/keys/ScanCodeMap.h"
#include "platform/ui/Bands.h"

namespace wv {

namespace {
constexpr float kDimmedCaption = 0.15f;

const char* caseLocale(Language language) { return language == Language::tr ? "tr" : ""; }

// Puts a key back to its plain look: no heat, no error, no overlay, no pending flash.
void resetKey(WVKeyboardButton& button) {
    button.heatMapOn = false;
    button.isError = false;
    button.setAlternateImage(Image::named("keyBorderCorrect"));
    button.animationLayer->setHidden(true);
    if (button.timer) button.timer->invalidate();
    button.timer.reset();
    button.layer()->removeAllAnimations();
    button.animationLayer->removeAllAnimations();
}

// The overlay of a key in heat mode is its heat shade, not a pulse: it stays until the next
// line's captions reset the key. The last key of a line is still the highlighted key when the
// heat map appears, and is let go only afterwards.
void stopPulse(WVKeyboardButton& button) {
    if (button.timer) button.timer->invalidate();
    button.timer.reset();
    button.layer()->removeAllAnimations();
    button.animationLayer->removeAllAnimations();
    if (!button.heatMapOn) button.animationLayer->setHidden(true);
}
}  // namespace

WVKeyboardView::WVKeyboardView(const Rect& frame) : View(frame) { setFlipped(true); }

WVKeyboardView* WVKeyboardView::makeStandard(const Rect& frame) {
    auto* keyboard = new WVKeyboardView(frame);
    addKeyboardKeys(*keyboard);
    keyboard->standardLayout_ = true;
    return keyboard;
}

void WVKeyboardView::frameSizeChanged(Size) {
    if (!standardLayout_) return;
    for (View* sub : subviews())
        if (const KeyboardKey* k = keyboardKey(sub->tag()))
            sub->setFrame(keyFrame(*k, frame().size));
}

void WVKeyboardView::setBackdrop(Backdrop backdrop) {
    backdrop_ = std::move(backdrop);
    const bool opaque = bool(backdrop_);
    auto underlay = [this](View* view) -> Underlay {
        if (!backdrop_) return nullptr;
        return [this, view](QPainter& painter, const QRegion& region) {
            drawBackdrop(painter, view == this ? QPoint() : view->pos(), region);
        };
    };
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    setUnderlay(underlay(this));
    for (View* sub : subviews()) {
        sub->setUnderlay(underlay(sub));
        sub->setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    }
    update();
}

// In bands, with no clip to cut them: Qt would hand a tall blend to its thread pool and wait.
void WVKeyboardView::drawBackdrop(QPainter& painter, QPoint at, const QRegion& region) const {
    constexpr int kRows = 48;
    painter.save();
    painter.translate(-at);
    for (const QRect& band : bandsOf(region, kRows)) backdrop_(painter, band.translated(at));
    painter.restore();
}

WVModifierButton* WVKeyboardView::modifier(std::int64_t code) const {
    auto it = keysMapModifiers.find(code);
    return it == keysMapModifiers.end() ? nullptr : it->second;
}

WVKeyboardButton* WVKeyboardView::key(std::int64_t code) const {
    auto it = keysMap.find(code);
    return it == keysMap.end() ? nullptr : it->second;
}

std::int64_t WVKeyboardView::physicalCode(std::int64_t layoutCode) const {
    return ScanCodeMap::forLayout(int(layoutCode), isoTable_);
}

WVModifierButton* WVKeyboardView::leftShiftKey() const { return modifier(56); }
WVModifierButton* WVKeyboardView::rightShiftKey() const { return modifier(60); }
WVModifierButton* WVKeyboardView::capsLockKey() const { return modifier(57); }
WVModifierButton* WVKeyboardView::rightCommandKey() const { return modifier(54); }
WVModifierButton* WVKeyboardView::leftCommandKey() const { return modifier(55); }
WVModifierButton* WVKeyboardView::leftOptionKey() const { return modifier(58); }
WVModifierButton* WVKeyboardView::rightOptionKey() const { return modifier(61); }
WVModifierButton* WVKeyboardView::controlKey() const { return modifier(59); }
WVKeyboardButton* WVKeyboardView::tabKey() const { return key(48); }
WVKeyboardButton* WVKeyboardView::deleteKey() const { return key(51); }
WVKeyboardButton* WVKeyboardView::returnKey() const { return key(36); }

void WVKeyboardView::registerKeyButtons() {
    for (View* sub : subviews()) {
        auto* button = dynamic_cast<Button*>(sub);
        if (!button || button->tag() < 0) continue;
        if (auto* k = dynamic_cast<WVKeyboardButton*>(button))
            keysMap[k->tag()] = k;
        else if (auto* m = dynamic_cast<WVModifierButton*>(button))
            keysMapModifiers[m->tag()] = m;
    }
}

void WVKeyboardView::flashKey(std::int64_t keyCode, bool isError) {
    WVKeyboardButton* button = key(physicalCode(keyCode));
    if (!button) return;
    button->isError = isError;
    button->setAlternateImage(Image::named(isError ? "keyBorderError" : "keyBorderCorrect"));
    if (isError)
        button->flashError();
    else
        button->performClick();
}

void WVKeyboardView::clearHighlight() {
    if (highlightedKey) stopPulse(*highlightedKey);
}

void WVKeyboardView::highlightKey(std::optional<std::int64_t> keyCode) {
    if (!keyCode) {
        clearHighlight();
        highlightedKey = nullptr;
        return;
    }
    clearHighlight();
    highlightedKey = key(physicalCode(*keyCode));
    QPointer<WVKeyboardView> self(this);
    MainQueue::shared().async([self] {
        if (self && self->highlightedKey) self->highlightedKey->startHighlightAnimation();
    });
}

void WVKeyboardView::setLit(std::int64_t code, bool lit) {
    if (WVModifierButton* button = modifier(code))
        button->setImage(Image::named(lit ? "keyCommandPressed" : "keyCommandDisabled"));
}

void WVKeyboardView::showShiftKeys(bool left, bool right) {
    setLit(56, left);
    setLit(60, right);
}

void WVKeyboardView::showOptionKeys(bool left, bool right) {
    setLit(58, left);
    setLit(61, right);
}

void WVKeyboardView::clearKeyHints() {
    highlightKey(std::nullopt);
    showShiftKeys(false, false);
    showOptionKeys(false, false);
}

void WVKeyboardView::updateCaptions(const std::string& learnedLetters, const KeyMapBase& keyMap,
                                    const WVMainViewModel& m) {
    updateCaptions(learnedLetters, keyMap, m.isShiftL || m.isShiftR, m.isCapsOn,
                   m.isOptionL || m.isOptionR);
}

void WVKeyboardView::updateCaptions(const std::string& learnedLetters, const KeyMapBase& keyMap,
                                    bool shift, bool capsLock, bool option) {
    const char* locale = caseLocale(keyMap.lang());
    isoTable_ = keyMap.layoutData().isIsoTable();
    for (auto& [code, button] : keysMap) {
        // A key the layout has nothing on (Tab, or the ISO key of a layout drawn without it)
        // keeps its title; asking the layout would only log that it has no symbol there.
        const int layoutCode = int(physicalCode(code));
        const bool onLayout = !keyMap.symbolsForKeyCode(layoutCode).empty();
        if (auto symbol = onLayout ? keyMap.symbolForKeyCode(layoutCode, shift, capsLock, option)
                                   : std::nullopt) {
            const std::string character(*symbol);
            button->captionLocale = locale;
            button->setTitle(character);
            const bool learned =
                learnedLetters.find(text::lower(character, locale)) != std::string::npos;
            button->textLayer->setOpacity(learned ? 1.0 : double(kDimmedCaption));
        }
        resetKey(*button);
    }
}

void WVKeyboardView::showTypoHeatMap(const Mistypes& mistypes, const SymbolsOfKey& symbolsOfKey) {
    std::int64_t maxCount = 0, minCount = 0;
    if (!mistypes.empty()) {
        auto [lo, hi] = std::minmax_element(mistypes.begin(), mistypes.end(),
                                            [](auto& a, auto& b) { return a.second < b.second; });
        minCount = lo->second;
        maxCount = hi->second;
    }
    const float maxF = float(maxCount), spread = float(maxCount - minCount);
    auto countOf = [&](const std::string& c) -> std::optional<std::int64_t> {
        for (auto& [character, count] : mistypes)
            if (character == c) return count;
        return std::nullopt;
    };
    for (auto& [code, button] : keysMap) {
        const std::vector<std::string> symbols = symbolsOfKey(physicalCode(code));
        std::int64_t sum = 0;
        bool matched = false;
        for (auto& [character, count] : mistypes) {
            const std::string lower = text::lower(character, button->captionLocale.c_str());
            if (std::find(symbols.begin(), symbols.end(), lower) == symbols.end()) continue;
            matched = true;
            sum += count;
        }
        if (!matched || sum <= 0) {
            if (!button->equivalentKey) continue;
            button->isError = false;
            button->setAlternateImage(Image::named("keyBorderCorrect"));
            button->animationLayer->setHidden(true);
            button->heatMapOn = true;
            continue;
        }
        std::string title;
        for (const std::string& symbol : symbols)
            if (countOf(symbol) || countOf(uppercasedCharacter(symbol)))
                title += WVKeyboardButton::captionText(symbol, button->captionLocale);
        button->setTitle(title);
        const float level = minCount == maxCount ? 1.0f : 1.0f - (maxF - float(sum)) / spread;
        button->showHeatMap(true, level);
    }
    for (auto& [code, button] : keysMapModifiers)
        button->setImage(Image::named("keyCommandDisabled"));
}

}  // namespace wv
