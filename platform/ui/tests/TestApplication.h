#pragma once

#include <QApplication>

#include "platform/ui/EventApplication.h"

namespace wv::test {

// The one QApplication of a test program (widgets need it); made on first use.
inline QApplication& application() {
    static int argc = 1;
    static char name[] = "wv_platform_ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new EventApplication(argc, argv);
    return *app;
}

}  // namespace wv::test
