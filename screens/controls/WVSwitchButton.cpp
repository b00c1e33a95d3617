#include "screens/controls/WVSwitchButton.h"

namespace wv {

WVSwitchButton::WVSwitchButton(const Rect& frame) : Button(frame) {
    setImageDimsWhenDisabled(false);
}

void WVSwitchButton::setEnabled(bool enabled) {
    setImage(Image::named(enabled ? "switchOFFSidebar" : "switchOFFSidebarDimmed"));
    setAlternateImage(Image::named(enabled ? "switchONSidebar" : "switchONSidebarDimmed"));
    Button::setEnabled(enabled);
}

}  // namespace wv
