#include "app/WVMainWindow.h"

#include <QMainWindow>

namespace wv {

WVMainWindow::WVMainWindow(const Rect& contentRect) : Window(contentRect) {
    setTitle("Wovanu Typing");
    // The keyboard and the hands need this much room to stay legible.
    widget()->setMinimumSize(880, 496);
}

}  // namespace wv
