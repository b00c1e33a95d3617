#pragma once

#include <string>

namespace wv {

class TextField;
class Window;

// The interface scale: the smaller of the reference window's height / 620 and width / 1100,
// 1.0 while no window is set (the screens were drawn for a 1100 x 620 window).
double uiScaleFactor();

// The window uiScaleFactor reads. The typing screen sets it when its view loads and again on
// full-screen and live-resize changes. Not owned; a window that goes away counts as none.
Window* scaleReferenceWindow();
void setScaleReferenceWindow(Window* window);

// Gives the field `text` with `spacing` points of letter spacing over its whole length, and no
// other attribute.
void setKerning(TextField& field, const std::string& text, double spacing);

}  // namespace wv
