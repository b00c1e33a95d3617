#pragma once

#include <QApplication>
#include <QColor>
#include <QPainter>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/ui/Image.h"
#include "platform/ui/TextMeasurer.h"

namespace wv::test {

// The one QApplication of the test program; made on first use.
inline QApplication& application() {
    static int argc = 1;
    static char name[] = "wv_screen_controls_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

inline ImagePtr solidImage(QColor color, Size size = {10, 10}) {
    return std::make_shared<Image>(
        size, [color](QPainter& p, Size s) { p.fillRect(QRectF(0, 0, s.width, s.height), color); });
}

// Named pictures of one colour each, so a test can tell which one a control took.
inline void registerSolidNamed(const std::string& name, QColor color, Size size = {10, 10}) {
    Image::registerNamed(name, size, [color](QPainter& p, Size s) {
        p.fillRect(QRectF(0, 0, s.width, s.height), color);
    });
}

inline bool near(QColor a, QColor b, int tolerance = 8) {
    return std::abs(a.red() - b.red()) < tolerance && std::abs(a.green() - b.green()) < tolerance &&
           std::abs(a.blue() - b.blue()) < tolerance;
}

// Every character 7 points wide and a line 14 points high; no wrapping.
class CharacterWidthMeasurer : public TextMeasurer {
  public:
    static double width(const AttributedString& text) {
        return 7.0 * double(QString::fromStdString(text.string()).size());
    }
    Size size(const AttributedString& text) const override { return {width(text), 14}; }
    Rect usedRect(const AttributedString& text, Size) const override {
        return Rect(0, 0, width(text), 14);
    }
};

}  // namespace wv::test
