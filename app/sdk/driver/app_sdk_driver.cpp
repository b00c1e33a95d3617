// The application with its reporting SDK, as the program starts it, driven through the steps
// named on the command line (offscreen, for the end-to-end tests):
//   type-line   types the line shown, without a typo, by the keys' scan codes
//   return      presses Return (again while the finished line stays)
//   settle      waits (at most 30 s) until no SDK work holds off termination
//   wait-file:P waits (at most 120 s) until the file P exists
//   quit        chooses Quit in the application menu
//   crash       chooses Test Crash in the debug menu
// It prints "session <id>" once the application is up, and "step <name>" after each step.
// Exit codes: 0 after quitting, 3 for a step that failed, 4 when the steps ran out without a quit.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Analytics.h"
#include "app/AppDelegate.h"
#include "app/WVMainViewController.h"
#include "app/WovanuApplication.h"
#include "app/sdk/ReportingSdk.h"
#include "engine/Model.h"
#include "languages/LangData.h"
#include "platform/foundation/PlatformException.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/foundation/Text.h"
#include "platform/keys/ScanCodeMap.h"
#include "platform/plist/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/EventApplication.h"
#include "platform/ui/MainLoop.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MenuItem.h"
#include "screens/help/WVAboutViewController.h"
#include "screens/help/WVHelpWindowController.h"
#include "screens/settings/WVSettingsSidebarController.h"
#include "screens/statistics/StatisticsScreen.h"
#include "sdk/core/Tarnel.h"

namespace {

using namespace wv;

constexpr int kScanReturn = 36, kScanLeftShift = 50, kScanRightAlt = 108;

void say(const std::string& line) {
    printf("%s\n", line.c_str());
    fflush(stdout);
}

[[noreturn]] void fail(const std::string& why) {
    say("failed " + why);
    fflush(stdout);
    _exit(3);
}

LangData& language() { return model().langRoot().getLang(model().config().language()); }

QWidget* keyTarget(WovanuApplication& app) {
    return QApplication::focusWidget() ? QApplication::focusWidget()
                                       : app.mainViewController().view();
}

void sendKey(WovanuApplication& app, QEvent::Type type, int scanCode,
             Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(type, Qt::Key_unknown, modifiers, quint32(scanCode), 0, 0);
    QCoreApplication::sendEvent(keyTarget(app), &event);
}

void pressKey(WovanuApplication& app, int scanCode, Qt::KeyboardModifiers modifiers = {}) {
    sendKey(app, QEvent::KeyPress, scanCode, modifiers);
    sendKey(app, QEvent::KeyRelease, scanCode, modifiers);
}

// The scan code of the physical key that carries the layout's key code.
int scanCodeFor(int layoutCode, bool isoTable) {
    const int positional = ScanCodeMap::forLayout(layoutCode, isoTable);
    for (int scan = 8; scan < 256; ++scan)
        if (ScanCodeMap::macKeyCode(scan) == positional) return scan;
    return -1;
}

// Presses the key, with Shift or Option where the layout needs them, that types `symbol`.
bool typeSymbol(WovanuApplication& app, const std::string& symbol) {
    const KeyMapBase& keys = language().keys();
    const auto code = keys.keyCodeForSymbol(text::lower(symbol));
    if (!code) return false;
    bool shift = false, option = false;
    if (keys.symbolForKeyCode(*code, false, false, false) != symbol) {
        if (keys.symbolForKeyCode(*code, true, false, false) == symbol)
            shift = true;
        else if (keys.symbolForKeyCode(*code, false, false, true) == symbol)
            option = true;
        else if (keys.symbolForKeyCode(*code, true, false, true) == symbol)
            shift = option = true;
        else
            return false;
    }
    const int scan = scanCodeFor(*code, keys.layoutData().isIsoTable());
    if (scan < 0) return false;
    Qt::KeyboardModifiers held;
    if (shift) sendKey(app, QEvent::KeyPress, kScanLeftShift, held |= Qt::ShiftModifier);
    if (option) sendKey(app, QEvent::KeyPress, kScanRightAlt, held |= Qt::AltModifier);
    pressKey(app, scan, held);
    if (option) sendKey(app, QEvent::KeyRelease, kScanRightAlt, held &= ~Qt::KeyboardModifiers(Qt::AltModifier));
    if (shift) sendKey(app, QEvent::KeyRelease, kScanLeftShift, Qt::NoModifier);
    return true;
}

void typeLine(WovanuApplication& app) {
    WVTextLine& line = model().textLine();
    for (int guard = 0; !line.isComplete(); ++guard) {
        const auto next = line.expectedCharacter(true);
        if (guard > 1000 || !next || !typeSymbol(app, *next))
            fail("type-line at " + std::to_string(line.cursorPos()));
    }
    if (line.mistypes().count() != 0) fail("type-line made a typo");
}

MenuItem* itemTitled(Menu& menu, const std::string& title) {
    for (const auto& item : menu.items()) {
        if (item->title() == title) return item.get();
        if (item->submenu())
            if (MenuItem* found = itemTitled(*item->submenu(), title)) return found;
    }
    return nullptr;
}

template <typename Predicate>
void waitUntil(Predicate done, int milliseconds, const std::string& step) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired()) fail(step);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
}

void runStep(WovanuApplication& app, const std::string& step) {
    if (step == "type-line") {
        typeLine(app);
    } else if (step == "return") {
        // After a line that raised the level, the first Return shows the new level's tip and
        // the next one starts the line.
        for (int presses = 0; model().textLine().isFinished(); ++presses) {
            if (presses == 3) fail("return left the line finished");
            pressKey(app, kScanReturn);
        }
    } else if (step == "settle") {
        waitUntil([] { return ProcessInfo::shared().suddenTerminationAllowed(); }, 30000, step);
    } else if (step.rfind("wait-file:", 0) == 0) {
        const std::filesystem::path path = step.substr(10);
        waitUntil([&] { return std::filesystem::exists(path); }, 120000, step);
    } else if (step == "quit") {
        app.delegate().menuItemQuit->qAction()->trigger();
    } else if (step == "crash") {
        MenuItem* item = itemTitled(*app.delegate().menuItemDebug->submenu(), "Test Crash");
        if (!item) fail("no Test Crash item");
        item->qAction()->trigger();
    } else {
        fail("unknown step " + step);
    }
    say("step " + step);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_MEDIA_BACKEND", "ffmpeg", 1);
    EventApplication qtApplication(argc, argv);
    QApplication::setApplicationName("Wovanu Typing");
    // A modal help window at the first launch would take the keys the steps type.
    UserDefaults::standard().setObject("helpOnFirstLaunchShown", plist::Value(true));
    const auto crash = UserDefaults::standard().objectForKey("NSApplicationCrashOnExceptions");
    PlatformException::setCrashOnExceptions(crash && crash->is<bool>() && *crash->get<bool>());
    MainLoop::install();
    screens::StatisticsScreen::registerAll();
    screens::registerSettingsSidebar();
    screens::WVHelpWindowController::registerWithStoryboard();
    screens::WVAboutViewController::registerWithStoryboard();

    Analytics::setSdk(std::make_shared<ReportingSdk>());
    WovanuApplication application;
    application.launch();
    ReportingSdk::plugSelfTests(application.delegate());

    std::vector<std::string> steps(argv + 1, argv + argc);
    // A learner acts once the window is there; the SDK, whose start waits for the window's
    // first picture, asked first and so is running by then. The steps wait for the main
    // queue, so they run outside it, from Qt's own queue: a block of the main queue would hold
    // back every other one (the SDK's among them) until the last step.
    Application::shared().afterFirstPaint([&] {
        QTimer::singleShot(0, [&] {
            say("session " + Tarnel::sharedSDK().executionIdentifier());
            for (const auto& step : steps) {
                runStep(application, step);
                if (step == "quit") return;
            }
            say("steps ran out");
            _exit(4);
        });
    });
    qtApplication.exec();
    // The reporting SDK's queues and threads run until the process ends, and its objects live
    // as long: static destructors run under them would free what they still use. Whatever had
    // to reach the disk did on the way out (the settings, the last events).
    fflush(nullptr);
    _exit(0);
}
