// wv_helpvideos <folder>: records the help's three videos from the real typing screen. The
// application runs offscreen on a manual clock with fresh data folders, a seeded random source
// and the English interface, is driven by native scan codes, and every thirtieth of a second
// of clock time its window is drawn and piped to ffmpeg. The same program gives the same
// pictures on every machine, and no step waits on real time.
#include <stdio.h>
#include <stdlib.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/WVHintView.h"
#include "app/WVMainViewController.h"
#include "app/WVWindowController.h"
#include "app/WovanuApplication.h"
#include "app/artwork/Artwork.h"
#include "engine/Model.h"
#include "languages/LangData.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Random.h"
#include "platform/foundation/Text.h"
#include "platform/keys/ScanCodeMap.h"
#include "platform/plist/UserDefaults.h"
#include "platform/ui/Button.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "screens/statistics/StatisticsScreen.h"

namespace fs = std::filesystem;

namespace wv {
namespace {

constexpr int kWidth = 880, kHeight = 496, kFramesPerSecond = 30;
// XKB keycodes (evdev + 8).
constexpr int kScanReturn = 36, kScanBackspace = 22, kScanEscape = 9, kScanLeftShift = 50,
              kScanRightAlt = 108;

// One video being written: raw RGB frames into ffmpeg's standard input, into a temporary file
// that takes the video's name only when ffmpeg has finished without an error.
class Encoder {
  public:
    explicit Encoder(fs::path target) : target_(std::move(target)) {
        temporary_ = target_;
        temporary_ += ".part.mov";
        const std::string command =
            "ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " + std::to_string(kWidth) +
            "x" + std::to_string(kHeight) + " -r " + std::to_string(kFramesPerSecond) +
            " -i - -an -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p"
            " -movflags +faststart -f mov '" +
            temporary_.string() + "'";
        pipe_ = popen(command.c_str(), "w");
    }
    ~Encoder() {
        if (pipe_) pclose(pipe_);
        std::error_code ec;
        fs::remove(temporary_, ec);
    }
    bool ok() const { return pipe_ && !failed_; }

    void write(const QImage& frame) {
        if (!ok()) return;
        QImage image = frame.convertToFormat(QImage::Format_RGB888);
        if (image.width() != kWidth || image.height() != kHeight)
            image = image.scaled(kWidth, kHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        for (int y = 0; y < kHeight && !failed_; ++y)
            failed_ = fwrite(image.constScanLine(y), 3, kWidth, pipe_) != size_t(kWidth);
    }

    // Ends the stream and gives the video its name; false (and a message) on any failure.
    bool finish() {
        if (!pipe_) {
            std::cerr << "wv_helpvideos: cannot start ffmpeg\n";
            return false;
        }
        const int status = pclose(pipe_);
        pipe_ = nullptr;
        if (failed_ || status != 0) {
            std::cerr << "wv_helpvideos: ffmpeg failed on " << target_ << "\n";
            return false;
        }
        std::error_code ec;
        fs::rename(temporary_, target_, ec);
        if (ec) std::cerr << "wv_helpvideos: " << target_ << ": " << ec.message() << "\n";
        return !ec;
    }

  private:
    fs::path target_, temporary_;
    FILE* pipe_ = nullptr;
    bool failed_ = false;
};

// The running application and the recording of its window.
class Studio {
  public:
    Studio() {
        UserDefaults::standard().setObject("helpOnFirstLaunchShown", plist::Value(true));
        app_.launch();
        QCoreApplication::processEvents();
        const double menuBar = window().frame().height() - screen().view()->frame().height();
        window().setContentSize(Size{double(kWidth), kHeight + menuBar});
        QCoreApplication::processEvents();
        loop_.advance(1.0);  // the resize settles and the keyboard takes its place
        QCoreApplication::processEvents();
    }

    WVMainViewController& screen() { return app_.mainViewController(); }
    Window& window() { return *app_.windowController().window(); }
    LangData& language() { return model().langRoot().getLang(model().config().language()); }

    void record(Encoder* encoder) { encoder_ = encoder; }

    // Lets `seconds` of clock time pass, one frame at a time.
    void wait(double seconds) {
        for (int i = 0; i < int(seconds * kFramesPerSecond + 0.5); ++i) {
            loop_.advance(1.0 / kFramesPerSecond);
            QCoreApplication::processEvents();
            if (encoder_) encoder_->write(screen().view()->snapshot(1.0));
        }
    }

    void key(int scanCode, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target =
            QApplication::focusWidget() ? QApplication::focusWidget() : screen().view();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, modifiers, quint32(scanCode), 0, 0);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, modifiers, quint32(scanCode), 0, 0);
        QCoreApplication::sendEvent(target, &release);
    }
    void modifier(int scanCode, bool down, Qt::KeyboardModifiers modifiers) {
        QWidget* target =
            QApplication::focusWidget() ? QApplication::focusWidget() : screen().view();
        QKeyEvent event(down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_unknown, modifiers,
                        quint32(scanCode), 0, 0);
        QCoreApplication::sendEvent(target, &event);
    }

    // Presses the physical key (with Shift or Option where the layout needs them) that types
    // `symbol`; false when no key of the layout types it.
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
        const int positional = ScanCodeMap::forLayout(*code, keys.layoutData().isIsoTable());
        int scan = -1;
        for (int candidate = 8; candidate < 256 && scan < 0; ++candidate)
            if (ScanCodeMap::macKeyCode(candidate) == positional) scan = candidate;
        if (scan < 0) return false;
        Qt::KeyboardModifiers held = Qt::NoModifier;
        if (shift) modifier(kScanLeftShift, true, held |= Qt::ShiftModifier);
        if (option) modifier(kScanRightAlt, true, held |= Qt::AltModifier);
        key(scan, held);
        if (option) modifier(kScanRightAlt, false, held &= ~Qt::KeyboardModifiers(Qt::AltModifier));
        if (shift) modifier(kScanLeftShift, false, Qt::NoModifier);
        return true;
    }
    bool typeExpected() {
        auto next = model().textLine().expectedCharacter(true);
        return next && type(*next);
    }
    std::string wrongSymbolFor(const std::string& symbol) {
        for (const char* candidate : {"q", "x", "z", "j"})
            if (candidate != symbol) return candidate;
        return {};
    }
    // A fresh line with `text`, as the screen lays out a line it made itself.
    void newLine(const char* text) {
        model().textLine().setText(text);
        screen().resizeUI();
        QCoreApplication::processEvents();
    }
    void click(View* view) {
        const QPoint at(int(view->frame().width() / 2), int(view->frame().height() / 2));
        QMouseEvent press(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, view->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &release);
        QCoreApplication::processEvents();
    }

  private:
    ManualRunLoop loop_;
    WovanuApplication app_;
    Encoder* encoder_ = nullptr;
};

// Page 1: the hands and the next key's highlight while the home row is typed slowly.
bool handsAndNextKey(Studio& s) {
    s.newLine("asdf jkl; fdsa ;lkj");
    s.wait(1.0);
    for (int i = 0; i < 9; ++i) {
        if (!s.typeExpected()) return false;
        s.wait(0.75);
    }
    return true;
}

// Page 2: a line with a typo, the typo taken back with Delete, and the indicators.
bool typoAndDelete(Studio& s) {
    s.newLine("a sad lad asks a lass");
    s.wait(0.8);
    for (int i = 0; i < 5; ++i) {
        if (!s.typeExpected()) return false;
        s.wait(0.3);
    }
    s.type(s.wrongSymbolFor(*model().textLine().expectedCharacter(false)));
    s.wait(1.0);
    s.key(kScanBackspace);
    s.wait(0.8);
    while (!model().textLine().isComplete()) {
        if (!s.typeExpected()) return false;
        s.wait(0.2);
    }
    s.wait(1.5);
    return true;
}

// Page 3: a line without typos, the tip of the next level, and the statistics screen sliding
// in and out again.
bool levelUpAndStatistics(Studio& s) {
    s.key(kScanReturn);
    s.newLine("a toe to tea at tote");
    s.wait(0.6);
    while (!model().textLine().isComplete()) {
        if (!s.typeExpected()) return false;
        s.wait(0.12);
    }
    s.wait(2.2);
    s.click(s.screen().statisticsButton);
    s.wait(2.5);
    s.key(kScanEscape);
    s.wait(1.5);
    return !s.screen().isStatsOpened;
}

}  // namespace
}  // namespace wv

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: wv_helpvideos <folder>\n";
        return 2;
    }
    const fs::path folder = fs::absolute(argv[1]);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        std::cerr << "wv_helpvideos: " << folder << ": " << ec.message() << "\n";
        return 1;
    }
    // A throwaway profile and the English interface, whatever the machine that builds.
    char pattern[] = "/tmp/wv-helpvideos-XXXXXX";
    const char* profile = mkdtemp(pattern);
    if (!profile) return 1;
    const fs::path base(profile);
    fs::create_directories(base / "data");
    fs::create_directories(base / "cache");
    setenv("XDG_DATA_HOME", (base / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (base / "cache").c_str(), 1);
    setenv("HOME", base.c_str(), 1);
    setenv("LC_ALL", "en_US.UTF-8", 1);
    setenv("LANG", "en_US.UTF-8", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    int status = 0;
    {
        int qtArgc = 1;
        char name[] = "wv_helpvideos";
        char* qtArgv[] = {name, nullptr};
        QApplication qtApplication(qtArgc, qtArgv);
        wv::Artwork::registerAll();
        wv::screens::StatisticsScreen::registerAll();
        // The application's own log lines say nothing about the videos.
        wv::LogCapture quiet;
        wv::ScopedRandomSource seeded(std::make_shared<wv::SeededRandom>(16));
        wv::Studio studio;

        const struct {
            const char* file;
            bool (*scene)(wv::Studio&);
        } videos[] = {{"WV video 1.mov", wv::handsAndNextKey},
                      {"WV video 2.mov", wv::typoAndDelete},
                      {"WV video 3.mov", wv::levelUpAndStatistics}};
        for (const auto& video : videos) {
            wv::Encoder encoder(folder / video.file);
            studio.record(&encoder);
            const bool played = video.scene(studio);
            studio.record(nullptr);
            if (!played) {
                std::cerr << "wv_helpvideos: the scene of " << video.file << " went astray\n";
                status = 1;
                break;
            }
            if (!encoder.finish()) {
                status = 1;
                break;
            }
        }
    }
    fs::remove_all(base, ec);
    return status;
}
