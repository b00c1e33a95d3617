#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <string>

#include "app/tests/RunningApplication.h"
#include "engine/Model.h"
#include "platform/ui/AnimationContext.h"
#include "platform/ui/Button.h"
#include "platform/ui/PopUpButton.h"
#include "platform/ui/tests/OpenMenu.h"
#include "screens/settings/WVSettingsSidebarController.h"

namespace wv::test {

using Sidebar = screens::WVSettingsSidebarController;

struct SidebarRegistered {
    SidebarRegistered() { screens::registerSettingsSidebar(); }
};

// The real application with the real sidebar registered, as the executable has it.
class SidebarApplication : private SidebarRegistered {
  public:
    explicit SidebarApplication(ModelServices services = {}) : app(false, std::move(services)) {}

    Sidebar& sidebar() { return static_cast<Sidebar&>(app.screen().settingsController()); }

    // Lets every animation and wait that is due by then run.
    void settle(double seconds = 1.0) {
        app.loop.advance(seconds);
        QCoreApplication::processEvents();
    }

    // A real click in the middle of a view.
    static void click(View* view) {
        const QPoint centre(view->width() / 2, view->height() / 2);
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, centre);
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, centre);
    }
    static void click(View* view, QPoint at) {
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, at);
    }

    // Opens the sidebar with the settings button and waits for the slide to end.
    void open() {
        click(app.screen().settingsButton);
        settle();
    }

    // Opens the pop-up with a click and picks `title` in its open menu.
    std::shared_ptr<OpenMenuSeen> pick(PopUpButton* popup, const std::string& title) {
        auto seen = pickInNextOpenMenu(title);
        QTest::mousePress(popup, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        settle();
        return seen;
    }

    // How many exercise lines were started so far.
    int linesStarted() const {
        int count = 0;
        for (const auto& event : app.sdk->list())
            if (event.name.rfind("SessonStarted", 0) == 0) ++count;
        return count;
    }

    RunningApplication app;
};

// "config.plist" as python3's plistlib reads it, as JSON.
inline QJsonObject readConfigWithPython() {
    QProcess python;
    python.start("python3", {"-c",
                             "import json, plistlib, sys\n"
                             "with open(sys.argv[1], 'rb') as f: d = plistlib.load(f)\n"
                             "print(json.dumps(d, default=str))",
                             QString::fromStdString(Model::configURL().string())});
    python.waitForFinished(10000);
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

}  // namespace wv::test
