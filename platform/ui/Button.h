#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/ButtonCell.h"
#include "platform/ui/Control.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageScaling.h"
#include "platform/ui/KeyEvent.h"

namespace wv {

// Which picture a button shows: MomentaryChange shows its alternate image while pressed;
// Toggle, Switch and Radio show it while on (state 1), and a click flips the state.
enum class ButtonType { MomentaryPushIn, MomentaryChange, Toggle, Switch, Radio, PushOnPushOff };

class Button : public Control {
public:
    explicit Button(const Rect& frame = {});
    ~Button() override;

    std::string title() const { return title_; }
    virtual void setTitle(const std::string& title);
    // The title as drawn: the attributed title when one was given, else the title in the
    // button's font and alignment.
    AttributedString attributedTitle() const;
    void setAttributedTitle(AttributedString title);

    ImagePtr image() const { return image_; }
    void setImage(ImagePtr image);
    ImagePtr alternateImage() const { return alternateImage_; }
    void setAlternateImage(ImagePtr image);
    ImageScaling imageScaling() const { return imageScaling_; }
    void setImageScaling(ImageScaling scaling);
    // The picture shown now (see ButtonType).
    ImagePtr currentImage() const;
    // A disabled button draws its picture at half strength unless told not to (a button with
    // pictures of its own for the disabled look).
    bool imageDimsWhenDisabled() const { return dimsWhenDisabled_; }
    void setImageDimsWhenDisabled(bool dims);

    ButtonType buttonType() const { return type_; }
    void setButtonType(ButtonType type);
    int state() const { return state_; }
    void setState(int state);
    bool isHighlighted() const { return highlighted_; }
    void highlight(bool on);

    // A key that presses the button, such as "\t"; modifier flags must match too.
    void setKeyEquivalent(std::string characters, std::uint64_t modifierMask = 0);
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    // Presses the button when the event is its key equivalent; true when it did.
    virtual bool performKeyEquivalent(const KeyEvent& event);
    // Presses the button as a click would: shown pressed for a moment, state flipped for the
    // toggling types, action sent.
    void performClick();

    ButtonCell& cell() { return *cell_; }
    void setCell(std::unique_ptr<ButtonCell> cell);

    void mouseDown(const MouseEvent& event) override;
    void mouseUp(const MouseEvent& event) override;

protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;

private:
    void click();

    std::string title_;
    std::optional<AttributedString> attributedTitle_;
    ImagePtr image_;
    ImagePtr alternateImage_;
    ImageScaling imageScaling_ = ImageScaling::AxesIndependently;
    bool dimsWhenDisabled_ = true;
    ButtonType type_ = ButtonType::MomentaryPushIn;
    int state_ = 0;
    bool highlighted_ = false;
    bool pressedInside_ = false;
    std::string keyEquivalent_;
    std::uint64_t keyEquivalentMask_ = 0;
    std::unique_ptr<ButtonCell> cell_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace wv
