#include "screens/controls/WVRadioButton.h"

#include "screens/controls/WVRadioButtonCell.h"

namespace wv {

WVRadioButton::WVRadioButton(const Rect& frame) : Button(frame) {
    setCell(std::make_unique<WVRadioButtonCell>());
    setImage(Image::named("checkMark"));
    setEnabled(true);
    setButtonType(ButtonType::Radio);
    setAlignment(TextAlignment::Left);
}

}  // namespace wv
