#include "app/UIScale.h"

#include <QMainWindow>
#include <QPointer>
#include <algorithm>

#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"

namespace wv {

namespace {
constexpr double kReferenceWidth = 1100.0;
constexpr double kReferenceHeight = 620.0;

// Held through the window's widget so that a closed window reads as none, not as a dangling
// pointer.
QPointer<QMainWindow>& referenceWidget() {
    static QPointer<QMainWindow> widget;
    return widget;
}
}  // namespace

Window* scaleReferenceWindow() {
    QMainWindow* widget = referenceWidget().data();
    return widget ? Window::forWidget(widget) : nullptr;
}

void setScaleReferenceWindow(Window* window) {
    referenceWidget() = window ? window->widget() : nullptr;
}

double uiScaleFactor() {
    Window* window = scaleReferenceWindow();
    if (!window) return 1.0;
    const Rect frame = window->frame();
    return std::min(frame.height() / kReferenceHeight, frame.width() / kReferenceWidth);
}

void setKerning(TextField& field, const std::string& text, double spacing) {
    TextAttributes attributes;
    attributes.kern = spacing;
    field.setAttributedStringValue(AttributedString(text, attributes));
}

}  // namespace wv
