// The road of key presses through the application: keys for other windows, Command
// combinations, Escape, Tab, Delete, wrong keys, the settings sidebar, mouse clicks and the
// next-key hints.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QTest>
#include <QWindow>

#include "app/WVFingersView.h"
#include "app/WVKeyboardButton.h"
#include "app/WVKeyboardView.h"
#include "app/WVModifierButton.h"
#include "app/WVScreenControllers.h"
#include "app/tests/RunningApplication.h"
#include "engine/services/RecordingCloudKeyValue.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AnimationContext.h"
#include "storage/Local.h"

namespace wv {
namespace {

using test::RunningApplication;

TEST(KeyHandling, KeysGoNowhereNearTheLineWhileAnotherWindowIsKey) {
    RunningApplication app;
    Window other(Rect(0, 0, 300, 200));
    other.makeKeyAndOrderFront();
    QCoreApplication::processEvents();
    ASSERT_EQ(Application::shared().keyWindow(), &other);
    auto* field = new View(Rect(0, 0, 50, 50));
    other.contentView()->addSubview(field);
    other.makeFirstResponder(field);
    const std::string before = app.line();
    app.type(*app.hub().textLine().expectedCharacter(true));
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
    EXPECT_EQ(app.line(), before);

    app.window().makeKeyAndOrderFront();
    app.window().makeFirstResponder(app.screen().view());
    QCoreApplication::processEvents();
    app.typeExpected();
    EXPECT_EQ(app.hub().textLine().cursorPos(), 1);
}

TEST(KeyHandling, WithNoActiveWindowTheWindowAKeyArrivedAtDecides) {
    RunningApplication app;
    Window other(Rect(0, 0, 300, 200));
    QApplication::setActiveWindow(nullptr);
    QCoreApplication::processEvents();
    ASSERT_EQ(Application::shared().keyWindow(), nullptr);
    KeyEvent event;
    event.type = KeyEvent::Type::KeyDown;
    event.keyCode = 0;
    event.window = &other;
    EXPECT_TRUE(app.screen().handleKeyDownEvent(event).has_value());
    event.window = &app.window();
    EXPECT_FALSE(app.screen().handleKeyDownEvent(event).has_value());
}

TEST(KeyHandling, CommandCombinationsPassToTheMenus) {
    RunningApplication app;
    KeyEvent event;
    event.keyCode = 0;
    event.modifierFlags = 0x100000 | 0x8;
    auto passed = app.screen().handleKeyDownEvent(event);
    ASSERT_TRUE(passed);
    EXPECT_EQ(passed->keyCode, 0);
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);

    // Ctrl stands for Command: Ctrl+A types nothing.
    app.modifier(test::kScanLeftCtrl, true, Qt::ControlModifier);
    app.key(38, Qt::ControlModifier);
    app.modifier(test::kScanLeftCtrl, false, Qt::NoModifier);
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
}

TEST(KeyHandling, EscapeLeavesFullScreenAndOtherwiseDoesNothing) {
    RunningApplication app;
    const std::string line = app.line();
    app.key(test::kScanEscape);
    EXPECT_FALSE(app.window().isFullScreen());
    EXPECT_EQ(app.line(), line);
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);

    app.window().toggleFullScreen();
    QCoreApplication::processEvents();
    ASSERT_TRUE(app.window().isFullScreen());
    app.key(test::kScanEscape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(app.window().isFullScreen());
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
}

TEST(KeyHandling, AWrongKeyFlashesAndCountsARightKeyDoesNotFlash) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    const std::string expected = *app.hub().textLine().expectedCharacter(true);
    const std::string wrong = app.wrongSymbolFor(expected);
    const int wrongCode = *app.language().keys().keyCodeForSymbol(wrong);
    const int rightCode = *app.language().keys().keyCodeForSymbol(text::lower(expected));
    app.type(wrong);
    WVKeyboardButton* wrongKey = screen.keyboard->keysMap.at(wrongCode);
    EXPECT_TRUE(wrongKey->isError);
    EXPECT_EQ(wrongKey->alternateImage(), Image::named("keyBorderError"));
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "1");
    EXPECT_EQ(screen.indicatorAccuracy->stringValue(), "0");

    app.typeExpected();
    WVKeyboardButton* rightKey =
        screen.keyboard->keysMap.at(*app.language().keys().keyCodeForSymbol(
            text::lower(std::string(1, app.hub().textLine().text()[1]))));
    EXPECT_FALSE(rightKey->isError);
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "1");
    EXPECT_EQ(screen.indicatorAccuracy->stringValue(), "50");
    (void)rightCode;
}

TEST(KeyHandling, DeleteAtTheStartMarksTheDeleteKeyWrongAndAfterATypoRight) {
    RunningApplication app;
    WVKeyboardButton* deleteKey = app.screen().keyboard->deleteKey();
    ASSERT_NE(deleteKey, nullptr);
    app.key(test::kScanBackspace);
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
    EXPECT_TRUE(deleteKey->isError);
    EXPECT_EQ(deleteKey->alternateImage(), Image::named("keyBorderError"));

    app.typeExpected();
    app.key(test::kScanBackspace);
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
    EXPECT_FALSE(deleteKey->isError);
    EXPECT_EQ(deleteKey->alternateImage(), Image::named("keyBorderCorrect"));
}

TEST(KeyHandling, KeysAfterTheLastCharacterWaitForReturnAndDeleteToo) {
    RunningApplication app;
    // With a typo, so that no level raise holds Return back for its tip.
    app.type(app.wrongSymbolFor(*app.hub().textLine().expectedCharacter(false)));
    while (!app.hub().textLine().isComplete()) ASSERT_TRUE(app.typeExpected());
    const int end = app.hub().textLine().cursorPos();
    EXPECT_FALSE(app.screen().processTypedKey(0, false, false));
    EXPECT_FALSE(app.screen().processTypedKey(51, false, false));
    EXPECT_EQ(app.hub().textLine().cursorPos(), end);
    EXPECT_TRUE(app.screen().processTypedKey(36, false, false));
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
}

TEST(KeyHandling, AKeyWhileTheSidebarIsOpenOnlyClosesIt) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    screen.showSettings();
    EXPECT_FALSE(screen.isSidebarOpened) << "open only once it starts sliding in";
    app.loop.advance(AnimationContext::kDefaultDuration);
    ASSERT_TRUE(screen.isSidebarOpened);
    screen.showStatistics();  // something is presented already
    EXPECT_FALSE(screen.isStatsOpened);
    EXPECT_EQ(screen.presentedViewControllers().size(), 1u);

    app.typeExpected();
    EXPECT_TRUE(screen.isSidebarOpened) << "closed once it has slid out";
    app.loop.advance(AnimationContext::kDefaultDuration);
    EXPECT_FALSE(screen.isSidebarOpened);
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
    EXPECT_TRUE(screen.presentedViewControllers().empty());
}

TEST(KeyHandling, ASettingsChangeFromTheSidebarReachesTheScreen) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    screen.showSettings();
    app.loop.advance(AnimationContext::kDefaultDuration);
    app.typeExpected();  // closes the sidebar, types nothing
    app.loop.advance(AnimationContext::kDefaultDuration);
    app.typeExpected();
    ASSERT_EQ(app.hub().textLine().cursorPos(), 1);
    app.hub().config().setSpeedType(SpeedType::WPM);
    screen.settingsController().onSettingsChanged(true);
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
    EXPECT_EQ(screen.indicatorSpeedType->stringValue(), Local::shared().localize("mainSpeedWPM"));
}

TEST(KeyHandling, DoubleClickTogglesFullScreenUnlessTheSidebarIsOpen) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    MouseEvent click;
    click.clickCount = 1;
    screen.mouseDown(click);
    EXPECT_FALSE(app.window().isFullScreen());
    click.clickCount = 2;
    screen.showSettings();
    app.loop.advance(AnimationContext::kDefaultDuration);
    screen.mouseDown(click);
    app.loop.advance(AnimationContext::kDefaultDuration);
    EXPECT_FALSE(screen.isSidebarOpened);
    EXPECT_FALSE(app.window().isFullScreen());
    screen.mouseDown(click);
    EXPECT_TRUE(app.window().isFullScreen());
}

// The windowing system's own road: the press lands on the screen's backdrop, which leaves it
// to the screen, and the second press of a double click comes with Qt's double-click event.
TEST(KeyHandling, ADoubleClickOnTheScreenEntersFullScreenAndAnotherLeavesIt) {
    RunningApplication app;
    QMainWindow* widget = app.window().widget();
    QWindow* handle = widget->windowHandle();
    ASSERT_NE(handle, nullptr);
    View* root = app.screen().view();
    auto backdropPoint = [&] { return root->mapTo(widget, QPoint(int(root->width() * 0.3), 30)); };
    ASSERT_NE(widget->childAt(backdropPoint()), root) << "a view lies over the screen there";

    QTest::mouseClick(handle, Qt::LeftButton, {}, backdropPoint());
    QCoreApplication::processEvents();
    EXPECT_FALSE(app.window().isFullScreen()) << "one click";
    QTest::mouseDClick(handle, Qt::LeftButton, {}, backdropPoint());
    QCoreApplication::processEvents();
    EXPECT_TRUE(app.window().isFullScreen()) << "a double click enters";
    QTest::mouseDClick(handle, Qt::LeftButton, {}, backdropPoint());
    QCoreApplication::processEvents();
    EXPECT_FALSE(app.window().isFullScreen()) << "and the next leaves";
}

TEST(KeyHandling, TheNextKeyIsLitWithTheShiftOfTheOtherHand) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    WVKeyboardView& keyboard = *screen.keyboard;
    screen.highlightNextKey(std::string("T"));  // left index finger: the right Shift
    QCoreApplication::processEvents();
    app.loop.runUntilIdle();
    EXPECT_EQ(keyboard.rightShiftKey()->image(), Image::named("keyCommandPressed"));
    EXPECT_EQ(keyboard.leftShiftKey()->image(), Image::named("keyCommandDisabled"));
    screen.highlightNextKey(std::string("O"));  // right hand: the left Shift
    EXPECT_EQ(keyboard.leftShiftKey()->image(), Image::named("keyCommandPressed"));
    EXPECT_EQ(keyboard.rightShiftKey()->image(), Image::named("keyCommandDisabled"));
    screen.highlightNextKey(std::nullopt);
    EXPECT_EQ(keyboard.highlightedKey, nullptr);
    EXPECT_EQ(keyboard.leftShiftKey()->image(), Image::named("keyCommandDisabled"));
    EXPECT_EQ(keyboard.rightShiftKey()->image(), Image::named("keyCommandDisabled"));

    EXPECT_EQ(screen.nextKeyTarget(std::string("f")), 3);
    EXPECT_EQ(screen.nextKeyTarget(std::string("J")), 4);
    EXPECT_EQ(screen.nextKeyTarget(std::nullopt), std::nullopt);
    EXPECT_EQ(screen.nextKeyTarget(std::string("ж")), std::nullopt);
}

TEST(KeyHandling, TurningHintsOffAlsoUnlightsTheOptionKeys) {
    RunningApplication app;
    app.hub().config().setLanguage(Language::de);
    app.language().selectLayoutByName("XVLCWK Neo");
    app.screen().applySettingsChange(true);
    WVKeyboardView& keyboard = *app.screen().keyboard;
    app.screen().highlightNextKey(std::string("\\"));  // on Neo's Option layer
    const ImagePtr lit = Image::named("keyCommandPressed");
    ASSERT_TRUE(keyboard.leftOptionKey()->image() == lit ||
                keyboard.rightOptionKey()->image() == lit);
    app.hub().config().setKeyHintsOn(false);
    EXPECT_NE(keyboard.leftOptionKey()->image(), lit);
    EXPECT_NE(keyboard.rightOptionKey()->image(), lit);
    EXPECT_EQ(keyboard.highlightedKey, nullptr);
}

TEST(KeyHandling, TurningHandsOffHidesTheFingers) {
    RunningApplication app;
    ASSERT_FALSE(app.screen().fingersView->isHidden());
    app.hub().config().setHandsOn(false);
    EXPECT_TRUE(app.screen().fingersView->isHidden());
}

KeyEvent flagsChanged(std::uint16_t keyCode, std::uint64_t flags) {
    KeyEvent event;
    event.type = KeyEvent::Type::FlagsChanged;
    event.keyCode = keyCode;
    event.modifierFlags = flags;
    return event;
}

TEST(KeyHandling, ModifierKeysLightFromTheirFlags) {
    RunningApplication app;
    WVKeyboardView& keyboard = *app.screen().keyboard;
    app.screen().handleFlagsChanged(flagsChanged(55, 0x100008));
    EXPECT_EQ(keyboard.leftCommandKey()->image(), Image::named("keyCommandPressed"));
    EXPECT_EQ(keyboard.rightCommandKey()->image(), Image::named("keyCommandDisabled"));
    app.screen().handleFlagsChanged(flagsChanged(54, 0x100010));
    EXPECT_EQ(keyboard.rightCommandKey()->image(), Image::named("keyCommandPressed"));
    EXPECT_EQ(keyboard.leftCommandKey()->image(), Image::named("keyCommandDisabled"));
}

TEST(KeyHandling, OptionFromTheModifierStateTypesTheAltLayer) {
    RunningApplication app;
    app.hub().config().setLanguage(Language::de);
    app.language().selectLayoutByName("XVLCWK Neo");
    app.screen().applySettingsChange(true);
    app.hub().textLine().setText("\\u");
    app.screen().handleFlagsChanged(flagsChanged(58, 0x80020));  // left Option down
    EXPECT_TRUE(app.screen().processTypedKey(0, false, false));
    app.screen().handleFlagsChanged(flagsChanged(58, 0));
    EXPECT_TRUE(app.screen().processTypedKey(0, false, false));
    EXPECT_TRUE(app.hub().textLine().isComplete());
    EXPECT_EQ(app.hub().textLine().mistypes().count(), 0);
}

TEST(KeyHandling, CloudSettingsApplyOnlyUntilTheFirstKey) {
    auto store = std::make_unique<RecordingCloudKeyValue>();
    RecordingCloudKeyValue* cloud = store.get();
    ModelServices services;
    services.makeCloudKeyValue = [&store]() -> std::unique_ptr<WVCloudKeyValueProtocol> {
        return std::move(store);
    };
    RunningApplication app(false, std::move(services));
    LogCapture log;

    plist::Dictionary settings = app.hub().config().toDictionary();
    settings.set("speedType", int64_t(1));
    cloud->values["config"] = settings;
    cloud->didChange.onNext({"config"});
    EXPECT_TRUE(log.contains("WVCloudKeyValue: new config arrived"));
    EXPECT_EQ(app.hub().config().speedType(), SpeedType::WPM);
    EXPECT_EQ(app.screen().indicatorSpeedType->stringValue(),
              Local::shared().localize("mainSpeedWPM"));

    app.typeExpected();
    EXPECT_EQ(log.count("WVCloudKeyValue: COMPLETED"), 1u);
    EXPECT_TRUE(cloud->didChange.isDisposed());
    settings.set("speedType", int64_t(0));
    cloud->values["config"] = settings;
    log.clear();
    cloud->didChange.onNext({"config"});
    EXPECT_FALSE(log.contains("WVCloudKeyValue: new config arrived"));
    EXPECT_EQ(app.hub().config().speedType(), SpeedType::WPM);
    EXPECT_EQ(app.hub().textLine().cursorPos(), 1);
}

}  // namespace
}  // namespace wv
