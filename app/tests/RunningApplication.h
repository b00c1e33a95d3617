#pragma once

#include <QKeyEvent>
#include <memory>
#include <optional>
#include <string>

#include "app/Analytics.h"
#include "app/WVMainViewController.h"
#include "app/WVTypeLineField.h"
#include "app/WVWindowController.h"
#include "app/WovanuApplication.h"
#include "app/tests/AppTestSupport.h"
#include "app/tests/RecordingAnalyticsSdk.h"
#include "engine/Model.h"
#include "languages/LangData.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/keys/ScanCodeMap.h"
#include "platform/plist/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace wv::test {

// XKB keycodes (evdev + 8) of the keys the tests press by name.
inline constexpr int kScanReturn = 36, kScanBackspace = 22, kScanEscape = 9, kScanTab = 23,
                     kScanLeftShift = 50, kScanRightAlt = 108, kScanLeftCtrl = 37;

// The real application on the offscreen platform, on a manual clock, with an SDK that
// records. One per test (each test runs in its own process with fresh data folders).
class RunningApplication {
  public:
    // `firstLaunchHelp` false marks the first-launch help as shown already, so no modal help
    // window comes up when time moves on.
    explicit RunningApplication(bool firstLaunchHelp = false, ModelServices services = {}) {
        application();
        app.services = std::move(services);
        if (!firstLaunchHelp)
            UserDefaults::standard().setObject("helpOnFirstLaunchShown", plist::Value(true));
        Analytics::setSdk(sdk);
        app.launch();
        QCoreApplication::processEvents();
    }

    WVMainViewController& screen() { return app.mainViewController(); }
    Window& window() { return *app.windowController().window(); }
    Model& hub() { return model(); }
    LangData& language() { return hub().langRoot().getLang(hub().config().language()); }
    std::string line() { return screen().typeStringLabel->stringValue(); }

    // Sends one key press and release with its native scan code, as the windowing system would
    // to the focused widget.
    void key(int scanCode, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             quint32 nativeModifiers = 0) {
        QWidget* target =
            QApplication::focusWidget() ? QApplication::focusWidget() : screen().view();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, modifiers, quint32(scanCode), 0,
                        nativeModifiers);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, modifiers, quint32(scanCode), 0,
                          nativeModifiers);
        QCoreApplication::sendEvent(target, &release);
    }
    void modifier(int scanCode, bool down, Qt::KeyboardModifiers modifiers) {
        QWidget* target =
            QApplication::focusWidget() ? QApplication::focusWidget() : screen().view();
        QKeyEvent event(down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_unknown, modifiers,
                        quint32(scanCode), 0, 0);
        QCoreApplication::sendEvent(target, &event);
    }

    // The scan code of the physical key that carries the layout's key code `code`.
    static int scanCodeFor(int layoutCode, bool isoTable) {
        const int positional = ScanCodeMap::forLayout(layoutCode, isoTable);
        for (int scan = 8; scan < 256; ++scan)
            if (ScanCodeMap::macKeyCode(scan) == positional) return scan;
        return -1;
    }

    // Presses the key (with Shift or Option where the layout needs them) that types `symbol`
    // on the current layout. False when no key types it.
    bool type(const std::string& symbol) {
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
        Qt::KeyboardModifiers held = Qt::NoModifier;
        if (shift) modifier(kScanLeftShift, true, held |= Qt::ShiftModifier);
        if (option) modifier(kScanRightAlt, true, held |= Qt::AltModifier);
        key(scan, held);
        if (option) modifier(kScanRightAlt, false, held &= ~Qt::KeyboardModifiers(Qt::AltModifier));
        if (shift) modifier(kScanLeftShift, false, Qt::NoModifier);
        return true;
    }

    // Types the key the line expects next (the dead key first for a composed character).
    bool typeExpected() {
        auto next = hub().textLine().expectedCharacter(true);
        return next && type(*next);
    }

    // A key of the layout that types something other than `symbol` (for deliberate typos).
    std::string wrongSymbolFor(const std::string& symbol) {
        for (const char* candidate : {"q", "x", "z", "j", "й", "ф", "я", "ß", "y"}) {
            if (candidate != symbol && language().keys().keyCodeForSymbol(candidate))
                return candidate;
        }
        return {};
    }

    ManualRunLoop loop;
    std::shared_ptr<RecordingAnalyticsSdk> sdk = std::make_shared<RecordingAnalyticsSdk>();
    WovanuApplication app;
};

}  // namespace wv::test
