// Key handling of the typing screen: the road of one key press from the key monitor into the
// line, the keys that steer the screen, the next-key hints, cloud settings and mouse clicks.
#include "app/WVKeyboardButton.h"
#include "app/WVKeyboardView.h"
#include "app/WVMainViewController.h"
#include "app/WVModifierButton.h"
#include "app/WVScreenControllers.h"
#include "engine/Model.h"
#include "languages/LangData.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/keys/ScanCodeMap.h"
#include "platform/ui/Application.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace wv {

namespace {
constexpr std::uint64_t kCommandMask = 0x100000;
constexpr std::uint64_t kShiftMask = 0x20000;
constexpr std::uint64_t kCapsLockMask = 0x10000;
constexpr std::uint16_t kReturnCode = 36, kTabCode = 48, kDeleteCode = 51, kEscapeCode = 53;
}  // namespace

std::optional<KeyEvent> WVMainViewController::handleKeyDownEvent(const KeyEvent& event) {
    if (event.modifierFlags & kCommandMask) return event;
    Window* keyWindow = Application::shared().keyWindow();
    Window* ownWindow = view()->window();
    // Without a window manager no window is ever activated, yet the key still arrived at one
    // of ours: the window it was delivered to stands in for the key window then.
    if (!keyWindow) keyWindow = event.window;
    if ((!keyWindow && !ownWindow) || (keyWindow && ownWindow && keyWindow == ownWindow)) {
        processKeyEvent(event);
        return std::nullopt;
    }
    return event;
}

std::optional<KeyEvent> WVMainViewController::handleFlagsChanged(const KeyEvent& event) {
    viewModel.modifierFlagsChanged.onNext(event.modifierFlags);
    return event;
}

void WVMainViewController::processKeyEvent(const KeyEvent& event) {
    auto& cloudChanges = model().cloudKeyValue().didChange;
    if (!cloudChanges.isDisposed()) {
        cloudChanges.onCompleted();
        cloudChanges.dispose();
    }
    if (isSidebarOpened) {
        settingsController().dismissController();
        return;
    }
    if (isStatsOpened) {
        statisticsController().performKeyEquivalent(event);
        return;
    }
    if (event.keyCode == kTabCode) {
        if (WVKeyboardButton* tab = keyboard->tabKey()) tab->performKeyEquivalent(event);
        return;
    }
    if (event.keyCode == kEscapeCode) {
        Window* window = view()->window();
        if (window && (window->styleMask() & Window::kFullScreenStyleMask))
            window->toggleFullScreen();
        return;
    }
    // Key codes are positional; a layout drawn on an ISO keyboard has its own idea of key 50.
    const bool isoTable = currentLanguage().keys().layoutData().isIsoTable();
    processTypedKey(std::uint16_t(ScanCodeMap::forLayout(event.keyCode, isoTable)),
                    event.modifierFlags & kShiftMask, event.modifierFlags & kCapsLockMask);
}

bool WVMainViewController::processTypedKey(std::uint16_t keyCode, bool shift, bool capsLock) {
    WVTextLine& line = model().textLine();
    if (keyCode == kReturnCode) {
        if (isEnterHintShowing() && model().learningAssist().isLevelRaised(currentLanguage())) {
            showTips();
            // Without a tip to replace it (automatic mode was turned off meanwhile) the Enter
            // tip would stay, and Return would never start the next line.
            if (!isEnterHintShowing()) return true;
        }
        newLine(line.isComplete() ? NewLineReason::OnLevelEnd : NewLineReason::OnRestart);
        return true;
    }
    if (line.isComplete()) return false;
    if (keyCode == kDeleteCode) {
        const bool moved = deleteLastCharacter();
        if (WVKeyboardButton* key = keyboard->deleteKey()) {
            key->isError = !moved;
            key->setAlternateImage(Image::named(moved ? "keyBorderCorrect" : "keyBorderError"));
        }
        return true;
    }

    LangData& language = currentLanguage();
    const bool option = viewModel.isOptionL || viewModel.isOptionR;
    const auto symbol = language.keys().symbolForKeyCode(keyCode, shift, capsLock, option);
    if (!symbol) return false;
    if (!line.typeCharacter(*symbol)) keyboard->flashKey(keyCode, true);
    followLineWithSpeedTimer();
    refreshLine();
    refreshTypingIndicators();
    return true;
}

bool WVMainViewController::deleteLastCharacter() {
    const bool moved = model().textLine().deleteBackward();
    refreshLine();
    return moved;
}

std::optional<int> WVMainViewController::nextKeyTarget(
    const std::optional<std::string>& character) {
    if (!character) return std::nullopt;
    const KeyMapBase& keys = currentLanguage().keys();
    const auto code = keys.keyCodeForSymbol(text::lower(*character));
    if (!code) return std::nullopt;
    return keys.fingerForKeyCode(*code);
}

void WVMainViewController::highlightNextKey(const std::optional<std::string>& character) {
    const KeyMapBase& keys = currentLanguage().keys();
    std::optional<int> code;
    if (character) code = keys.keyCodeForSymbol(text::lower(*character));
    if (!code) {
        // No hint (or hints turned off): every modifier a hint may have lit goes dark too.
        keyboard->clearKeyHints();
        keyboard->highlightedKey = nullptr;
        return;
    }
    keyboard->highlightKey(*code);
    const int zone = keys.fingerForKeyCode(*code);
    // The other hand holds the modifier: the left Shift for a key of the right hand.
    if (keys.isShiftSymbol(*character, *code))
        keyboard->showShiftKeys(zone > 3, zone < 4);
    else
        keyboard->showShiftKeys(false, false);
    if (keys.isAltSymbol(*character, *code))
        keyboard->showOptionKeys(zone > 3, zone < 4);
    else
        keyboard->showOptionKeys(false, false);
}

void WVMainViewController::applyCloudConfig(const std::vector<std::string>& changedKeys) {
    if (std::find(changedKeys.begin(), changedKeys.end(), "config") == changedKeys.end()) return;
    Log::print("WVCloudKeyValue: new config arrived");
    auto settings = model().cloudKeyValue().dictionaryForKey("config");
    if (!settings) return;
    model().applyConfig(*settings);
    newLine(NewLineReason::OnFreshStart);
    updateSpeedCaption();
    updateModifierKeys();
}

void WVMainViewController::mouseDown(const MouseEvent& event) {
    if (isSidebarOpened) {
        settingsController().dismissController();
        return;
    }
    if (event.clickCount == 2) {
        if (Window* window = view()->window()) window->toggleFullScreen();
    }
}

}  // namespace wv
