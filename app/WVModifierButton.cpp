#include "app/WVModifierButton.h"

#include "app/WVModifierButtonCell.h"

namespace wv {

WVModifierButton::WVModifierButton(const Rect& frame, std::unique_ptr<ButtonCell> cell)
    : Button(frame) {
    setCell(cell ? std::move(cell) : std::make_unique<WVModifierButtonCell>());
}

void WVModifierButton::draw(QPainter& painter, const Rect&) { face_.draw(painter, *this); }

}  // namespace wv
