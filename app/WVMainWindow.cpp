#include "app/WVMainWindow.h"

namespace wv {

WVMainWindow::WVMainWindow(const Rect& contentRect) : Window(contentRect) {
    setTitle("Wovanu Typing");
    // Below this the keyboard's captions and the line no longer fit their places; the menu
    // bar comes on top of it.
    setContentMinSize(Size{800, 500});
}

}  // namespace wv
