#include "platform/ui/Button.h"

#include "platform/dispatch/MainQueue.h"

namespace wv {

namespace {
// How long performClick shows the button pressed.
constexpr double kClickFlash = 0.1;
// Flags a key equivalent is compared on: the device-independent modifier bits.
constexpr std::uint64_t kModifierKeys = 0xFFFF0000ULL & ~0x10000ULL;  // Caps Lock aside
}  // namespace

Button::Button(const Rect& frame) : Control(frame), cell_(std::make_unique<ButtonCell>()) {
    setAlignment(TextAlignment::Center);
}

Button::~Button() { *alive_ = false; }

// As with layers, a setter given what the button already shows draws nothing again.
void Button::setTitle(const std::string& title) {
    if (title_ == title && !attributedTitle_) return;
    title_ = title;
    attributedTitle_.reset();
    setNeedsDisplay();
}

AttributedString Button::attributedTitle() const {
    if (attributedTitle_) return *attributedTitle_;
    TextAttributes a;
    a.font = font();
    a.paragraph = ParagraphStyle{alignment(), 0};
    return AttributedString(title_, a);
}

void Button::setAttributedTitle(AttributedString title) {
    title_ = title.string();
    attributedTitle_ = std::move(title);
    setNeedsDisplay();
}

void Button::setImage(ImagePtr image) {
    if (image_ == image) return;
    image_ = std::move(image);
    setNeedsDisplay();
}

void Button::setAlternateImage(ImagePtr image) {
    if (alternateImage_ == image) return;
    alternateImage_ = std::move(image);
    setNeedsDisplay();
}

void Button::setImageScaling(ImageScaling scaling) {
    imageScaling_ = scaling;
    setNeedsDisplay();
}

ImagePtr Button::currentImage() const {
    bool alternate = false;
    switch (type_) {
        case ButtonType::MomentaryChange:
            alternate = highlighted_;
            break;
        case ButtonType::Toggle:
        case ButtonType::Switch:
        case ButtonType::Radio:
            alternate = state_ != 0;
            break;
        case ButtonType::MomentaryPushIn:
        case ButtonType::PushOnPushOff:
            break;
    }
    return alternate && alternateImage_ ? alternateImage_ : image_;
}

void Button::setImageDimsWhenDisabled(bool dims) {
    dimsWhenDisabled_ = dims;
    setNeedsDisplay();
}

void Button::setButtonType(ButtonType type) {
    type_ = type;
    setNeedsDisplay();
}

void Button::setState(int state) {
    state_ = state;
    setNeedsDisplay();
}

void Button::highlight(bool on) {
    if (highlighted_ == on) return;
    highlighted_ = on;
    setNeedsDisplay();
}

void Button::setKeyEquivalent(std::string characters, std::uint64_t modifierMask) {
    keyEquivalent_ = std::move(characters);
    keyEquivalentMask_ = modifierMask & kModifierKeys;
}

bool Button::performKeyEquivalent(const KeyEvent& event) {
    if (keyEquivalent_.empty() || !isEnabled() || isHidden()) return false;
    if (event.characters != keyEquivalent_ ||
        (event.modifierFlags & kModifierKeys) != keyEquivalentMask_)
        return false;
    performClick();
    return true;
}

void Button::click() {
    if (type_ == ButtonType::Toggle || type_ == ButtonType::Switch ||
        type_ == ButtonType::PushOnPushOff)
        setState(state_ ? 0 : 1);
    else if (type_ == ButtonType::Radio)
        setState(1);
    sendAction();
}

void Button::performClick() {
    if (!isEnabled()) return;
    highlight(true);
    std::weak_ptr<bool> alive = alive_;
    MainQueue::shared().asyncAfter(kClickFlash, [this, alive] {
        if (alive.lock()) highlight(false);
    });
    click();
}

void Button::mouseDown(const MouseEvent&) {
    if (!isEnabled()) return;
    pressedInside_ = true;
    highlight(true);
}

void Button::mouseUp(const MouseEvent& event) {
    if (!pressedInside_) return;
    pressedInside_ = false;
    highlight(false);
    if (bounds().contains(convertPointFromWindow(event.locationInWindow))) click();
}

void Button::setCell(std::unique_ptr<ButtonCell> cell) {
    if (!cell) return;
    cell_ = std::move(cell);
    setNeedsDisplay();
}

void Button::draw(QPainter& painter, const Rect&) {
    cell_->drawWithFrame(painter, bounds(), *this);
}

}  // namespace wv
