#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMainWindow>
#include <QtTest/qtestkeyboard.h>
#include <vector>

#include "platform/ui/Application.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MenuItem.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

// XKB keycodes (evdev + 8) of the keys used here.
constexpr int kScanA = 38, kScanQ = 24, kScanLeftShift = 50, kScanRightShift = 62, kScanLeftAlt = 64,
              kScanRightAlt = 108, kScanCapsLock = 66, kScanLeftCtrl = 37, kScanRightCtrl = 105, kScanTab = 23;
constexpr quint32 kNativeShift = 0x1, kNativeLock = 0x2, kNativeControl = 0x4;

// A view that counts the keys Qt delivers to it; it takes them or lets them go to its parent.
class KeyCounter : public View {
public:
    explicit KeyCounter(bool accepts) : View(Rect(0, 0, 100, 100)), accepts_(accepts) {}
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        ++presses;
        if (accepts_)
            event->accept();
        else
            event->ignore();
    }

private:
    bool accepts_;
};

// Sends a key as the windowing system would: the shortcut map first, then the focus widget.
bool sendKey(QWidget* target, QEvent::Type type, int qtKey, Qt::KeyboardModifiers mods, int scanCode,
             quint32 nativeMods, const QString& text = {}) {
    QKeyEvent event(type, qtKey, mods, quint32(scanCode), 0, nativeMods, text);
    if (type == QEvent::KeyPress &&
        qt_sendShortcutOverrideEvent(target, event.timestamp(), qtKey, mods, text, false))
        return true;
    QCoreApplication::sendEvent(target, &event);
    return event.isAccepted();
}

class KeyBridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::application();
        Application& app = Application::shared();
        token_ = app.addLocalMonitor(kKeyDownMask | kFlagsChangedMask, [this](const KeyEvent& e) -> std::optional<KeyEvent> {
            seen.push_back(e);
            if (consume && e.type == KeyEvent::Type::KeyDown && !(e.modifierFlags & 0x100000)) return std::nullopt;
            return e;
        });
        window = std::make_unique<Window>(Rect(0, 0, 300, 200));
        focused = new KeyCounter(true);
        window->contentView()->addSubview(focused);
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(focused);
    }
    void TearDown() override {
        Application::shared().removeMonitor(token_);
        window.reset();
    }

    std::vector<KeyEvent> seen;
    bool consume = false;
    std::unique_ptr<Window> window;
    KeyCounter* focused = nullptr;

private:
    Application::MonitorToken token_ = 0;
};

TEST_F(KeyBridgeTest, ModifierKeysBecomeFlagsWithTheirDeviceBits) {
    struct Case {
        int scan;
        int qtKey;
        quint32 native;
        std::uint16_t keyCode;
        std::uint64_t flagsDown;
    };
    const Case cases[] = {
        {kScanLeftShift, Qt::Key_Shift, 0, 56, 0x20002},
        {kScanRightShift, Qt::Key_Shift, 0, 60, 0x20004},
        {kScanLeftAlt, Qt::Key_Alt, 0, 58, 0x80020},
        {kScanRightAlt, Qt::Key_AltGr, 0, 61, 0x80040},
        {kScanLeftCtrl, Qt::Key_Control, 0, 55, 0x100008},   // Ctrl is Command, left device bit
        {kScanRightCtrl, Qt::Key_Control, 0, 54, 0x100010},  // and right
    };
    for (const Case& c : cases) {
        seen.clear();
        sendKey(focused, QEvent::KeyPress, c.qtKey, Qt::NoModifier, c.scan, c.native);
        sendKey(focused, QEvent::KeyRelease, c.qtKey, Qt::NoModifier, c.scan, c.native);
        ASSERT_EQ(seen.size(), 2u) << c.scan;
        EXPECT_EQ(seen[0].type, KeyEvent::Type::FlagsChanged);
        EXPECT_EQ(seen[0].keyCode, c.keyCode);
        EXPECT_EQ(seen[0].modifierFlags, c.flagsDown) << std::hex << seen[0].modifierFlags;
        EXPECT_EQ(seen[1].type, KeyEvent::Type::FlagsChanged);
        EXPECT_EQ(seen[1].modifierFlags, 0u) << "released";
    }
}

TEST_F(KeyBridgeTest, CapsLockFollowsTheNativeLockState) {
    sendKey(focused, QEvent::KeyPress, Qt::Key_CapsLock, Qt::NoModifier, kScanCapsLock, 0);
    sendKey(focused, QEvent::KeyRelease, Qt::Key_CapsLock, Qt::NoModifier, kScanCapsLock, kNativeLock);
    ASSERT_EQ(seen.size(), 1u) << "one flags change per toggle";
    EXPECT_EQ(seen[0].keyCode, 57);
    EXPECT_EQ(seen[0].modifierFlags, 0x10000u);
    sendKey(focused, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, kScanA, kNativeLock, "A");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].modifierFlags & 0x10000u, 0x10000u);
    // Switched off: the press still reports the lock set before it.
    sendKey(focused, QEvent::KeyPress, Qt::Key_CapsLock, Qt::NoModifier, kScanCapsLock, kNativeLock);
    sendKey(focused, QEvent::KeyRelease, Qt::Key_CapsLock, Qt::NoModifier, kScanCapsLock, kNativeLock);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].modifierFlags, 0u);
}

TEST_F(KeyBridgeTest, CharacterKeysCarryTheMacCodeAndHeldShift) {
    sendKey(focused, QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier, kScanRightShift, 0);
    sendKey(focused, QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier, kScanA, kNativeShift, "A");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].type, KeyEvent::Type::KeyDown);
    EXPECT_EQ(seen[1].keyCode, 0);
    EXPECT_EQ(seen[1].modifierFlags, 0x20004u);
    EXPECT_EQ(seen[1].characters, "A");
    EXPECT_EQ(seen[1].window, window.get());
}

TEST_F(KeyBridgeTest, ModifierReleasedElsewhereIsForgottenButAltGrIsKept) {
    sendKey(focused, QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier, kScanLeftShift, 0);
    sendKey(focused, QEvent::KeyPress, Qt::Key_AltGr, Qt::ShiftModifier, kScanRightAlt, kNativeShift);
    // The Shift release went to another window; the next key comes without Shift.
    sendKey(focused, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, kScanA, 0, "a");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].modifierFlags, 0x80040u) << "Shift forgotten, right Option still held";
}

TEST_F(KeyBridgeTest, ConsumedKeyNeverReachesTheFocusedView) {
    consume = true;
    sendKey(focused, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, kScanA, 0, "a");
    EXPECT_EQ(focused->presses, 0);
    ASSERT_EQ(seen.size(), 1u);
    consume = false;
    sendKey(focused, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, kScanA, 0, "a");
    EXPECT_EQ(focused->presses, 1);
}

TEST_F(KeyBridgeTest, TabIsConsumedBeforeFocusMovesOn) {
    consume = true;
    sendKey(focused, QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, kScanTab, 0, "\t");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].keyCode, 48);
    EXPECT_EQ(window->widget()->focusWidget(), focused) << "focus did not move on";
    EXPECT_EQ(focused->presses, 0);
}

TEST_F(KeyBridgeTest, UnhandledKeyIsSeenOnceThoughEveryParentIsOfferedIt) {
    auto* outer = new KeyCounter(false);
    auto* inner = new KeyCounter(false);
    window->contentView()->addSubview(outer);
    outer->addSubview(inner);
    window->makeFirstResponder(inner);
    sendKey(inner, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, kScanA, 0, "a");
    EXPECT_EQ(inner->presses, 1);
    EXPECT_EQ(outer->presses, 1) << "Qt offers the key to the parent";
    EXPECT_EQ(seen.size(), 1u) << "but the monitors see it once";
}

TEST_F(KeyBridgeTest, InputMethodsAreOffInTheTypingView) {
    EXPECT_FALSE(focused->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_FALSE(focused->inputMethodQuery(Qt::ImEnabled).toBool());
}

TEST_F(KeyBridgeTest, CtrlQStillReachesTheMenu) {
    consume = true;  // everything without Command is swallowed
    int quits = 0;
    Menu menu;
    auto app = std::make_shared<Menu>("Wovanu Typing");
    app->addItem(std::make_shared<MenuItem>("Quit", [&] { ++quits; }, "q"));
    auto top = std::make_shared<MenuItem>("Wovanu Typing");
    top->setSubmenu(app);
    menu.addItem(top);
    window->setMenu(&menu);
    QApplication::setActiveWindow(window->widget());

    sendKey(focused, QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, kScanLeftCtrl, 0);
    ASSERT_EQ(seen.back().modifierFlags, 0x100008u);
    sendKey(focused, QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier, kScanQ, kNativeControl, "\x11");
    EXPECT_EQ(quits, 1);
    const int before = focused->presses;
    // A Command key that is no shortcut passes the monitor unchanged to the view.
    sendKey(focused, QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, kScanA, kNativeControl, "\x01");
    EXPECT_EQ(focused->presses, before + 1);
    EXPECT_EQ(seen.back().keyCode, 0);
    EXPECT_EQ(seen.back().modifierFlags & 0x100000u, 0x100000u);
}

}  // namespace
}  // namespace wv
