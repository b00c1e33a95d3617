#pragma once

#include "app/KeyFaceCache.h"
#include "platform/ui/Button.h"

namespace wv {

// A modifier key of the on-screen keyboard (Shift, Caps Lock, Option, Command, Control, fn and
// the arrows): its picture shows whether it is lit, its cell draws its label. Made with a
// WVModifierButtonCell unless given another cell of that family.
class WVModifierButton : public Button {
  public:
    explicit WVModifierButton(const Rect& frame = {}, std::unique_ptr<ButtonCell> cell = nullptr);

  protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;

  private:
    KeyFaceCache face_;
};

}  // namespace wv
