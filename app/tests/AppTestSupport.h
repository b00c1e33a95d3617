#pragma once

#include <QApplication>
#include <memory>

#include "app/UIScale.h"
#include "app/artwork/Artwork.h"
#include "platform/ui/Window.h"

namespace wv::test {

// The one QApplication of the test program (widgets need it); made on first use.
inline QApplication& application() {
    static int argc = 1;
    static char name[] = "wv_app_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* made = new QApplication(argc, argv);
        Artwork::registerAll();
        return made;
    }();
    return *app;
}

// A window of the given size set as the interface's scale reference while it lives.
class ScaleWindow {
  public:
    ScaleWindow(double width, double height)
        : window_(std::make_unique<Window>(Rect(0, 0, width, height))) {
        setScaleReferenceWindow(window_.get());
    }
    ~ScaleWindow() { setScaleReferenceWindow(nullptr); }
    Window& window() { return *window_; }

  private:
    std::unique_ptr<Window> window_;
};

}  // namespace wv::test
