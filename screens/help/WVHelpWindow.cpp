#include "screens/help/WVHelpWindow.h"

namespace wv::screens {

WVHelpWindow::WVHelpWindow(const Rect& contentRect) : Window(contentRect) {}

}  // namespace wv::screens
