// The help in the real application and with the real video back end: the videos the build
// recorded into the bundle, and clips made by ffmpeg in the test's bundle folder, decoded and
// painted; unplayable files hidden without a loop.
#include <gtest/gtest.h>
#include <stdio.h>

#include <QCoreApplication>
#include <QImage>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

#include "app/AppDelegate.h"
#include "app/tests/RunningApplication.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/Log.h"
#include "platform/ui/MenuItem.h"
#include "platform/ui/Window.h"
#include "screens/help/WVAboutViewController.h"
#include "screens/help/WVHelpController.h"
#include "screens/help/WVHelpWindowController.h"
#include "screens/help/tests/HelpTestSupport.h"
#include "storage/Config.h"
#include "storage/Local.h"

namespace wv::screens {
namespace {

// How long a wait for the decoder may last before the test gives up; waits end as soon as
// what they wait for has happened.
constexpr double kPatience = 60.0;

// The mean grey level of the first frame of a video as ffmpeg decodes it; -1 when it cannot.
double firstFrameMeanGrey(const std::filesystem::path& file) {
    const std::string command = "ffmpeg -nostdin -v error -i '" + file.string() +
                                "' -frames:v 1 -f rawvideo -pix_fmt gray -";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    double sum = 0;
    size_t count = 0;
    for (int c; (c = fgetc(pipe)) != EOF; ++count) sum += c;
    return pclose(pipe) == 0 && count > 0 ? sum / double(count) : -1;
}

// The mean grey level of a picture and the spread between its darkest and lightest pixels.
std::pair<double, int> greyLevels(const QImage& image) {
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    int darkest = 255, lightest = 0;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            sum += line[x];
            darkest = std::min<int>(darkest, line[x]);
            lightest = std::max<int>(lightest, line[x]);
        }
    }
    return {sum / double(grey.width() * grey.height()), lightest - darkest};
}

// Turns Qt's events until `done` or the patience runs out; the main queue too when `turnQueue`
// (not inside a run of the application's manual loop, which turns it itself).
bool pumpUntil(bool turnQueue, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(kPatience);
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (turnQueue) MainQueue::shared().runDue();
        if (done()) return true;
    }
    return false;
}

TEST(HelpEndToEnd, TheFirstLaunchHelpPlaysItsVideosAndHandsBackToTyping) {
    test::application();
    // The videos the build recorded.
    const double expectedGrey = firstFrameMeanGrey(Bundle::main().root() / "WV video 1.mov");
    ASSERT_GE(expectedGrey, 0) << "the bundle lacks a playable first video";
    WVHelpWindowController::registerWithStoryboard();
    test::RunningApplication app(true);
    auto& help =
        dynamic_cast<WVHelpWindowController&>(app.app.windowController().helpWindowController());
    WVHelpController& c = help.helpController();

    bool framePainted = false, thirdVideo = false, closedOnce = false;
    int modalRuns = 0;
    QTimer::singleShot(0, [&] {
        ++modalRuns;
        EXPECT_TRUE(Application::shared().isRunningModal());
        EXPECT_EQ(c.currentScreen(), WVHelpController::screenId::first);
        framePainted =
            pumpUntil(false, [&] { return c.player() && c.player()->framesShown() > 0; });
        if (framePainted) {
            const QImage snapshot = c.playerView->snapshot();
            EXPECT_EQ(snapshot.size(), QSize(880, 496));
            // The typing screen's picture: light keys and text on a dark backdrop, as bright
            // on the whole as the video's first frame (most of the screen stands still).
            const auto [meanGrey, spread] = greyLevels(snapshot);
            EXPECT_GT(spread, 100) << "a blank frame";
            EXPECT_NEAR(meanGrey, expectedGrey, 8.0);
        }
        c.helpNext->performClick();
        c.helpNext->performClick();
        thirdVideo = c.player() && c.player()->file().filename() == "WV video 3.mov" &&
                     pumpUntil(false, [&] { return c.player()->framesShown() > 0; });
        c.helpNext->performClick();
        closedOnce = !help.window()->isVisible();
    });
    app.loop.advance(0.11);
    EXPECT_EQ(modalRuns, 1);
    EXPECT_TRUE(framePainted) << "page 1's video never reached the player view";
    EXPECT_TRUE(thirdVideo);
    EXPECT_TRUE(closedOnce);
    EXPECT_FALSE(Application::shared().isRunningModal());

    const int before = app.hub().textLine().cursorPos();
    ASSERT_TRUE(app.typeExpected());
    EXPECT_EQ(app.hub().textLine().cursorPos(), before + 1) << "typing works after the help";

    int reopened = 0;
    QTimer::singleShot(0, [&] {
        ++reopened;
        EXPECT_EQ(c.currentScreen(), WVHelpController::screenId::first);
        EXPECT_EQ(c.player()->file().filename(), "WV video 1.mov");
        help.hide();
    });
    app.screen().helpButton->performClick();
    EXPECT_EQ(reopened, 1);

    int helpEvents = 0;
    for (const auto& event : app.sdk->list()) {
        if (event.name != "Help") continue;
        ++helpEvents;
        EXPECT_EQ(event.attributes.at("firstLaunch"), "true");
        EXPECT_EQ(event.attributes.at("lang"),
                  std::string(languageName(app.hub().config().language())));
    }
    EXPECT_EQ(helpEvents, 2);
}

TEST(HelpEndToEnd, TheAboutItemOpensOneAboutWindowAndRaisesItAgain) {
    WVAboutViewController::registerWithStoryboard();
    test::RunningApplication app;
    AppDelegate& delegate = app.app.delegate();
    EXPECT_EQ(delegate.aboutWindow(), nullptr) << "made when first asked for";
    ASSERT_NE(delegate.menuItemAbout, nullptr);
    delegate.menuItemAbout->perform();
    Window* about = delegate.aboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    auto* controller = dynamic_cast<WVAboutViewController*>(about->contentViewController());
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller->version->stringValue(), "Version " + Config::appVersionString());
    about->close();
    EXPECT_FALSE(about->isVisible());
    delegate.menuItemAbout->perform();
    EXPECT_EQ(delegate.aboutWindow(), about) << "one window, shown again";
    EXPECT_TRUE(about->isVisible());
}

TEST(HelpEndToEnd, AnInterfaceLanguageChosenInTheMenuReachesTheHelpOpenOrClosed) {
    test::VideoBundle bundle({});
    WVHelpWindowController::registerWithStoryboard();
    test::RunningApplication app;
    auto& help =
        dynamic_cast<WVHelpWindowController&>(app.app.windowController().helpWindowController());
    WVHelpController& c = help.helpController();
    const Local::Column russian = Local::shared().readLanguageColumn("ru");
    const Local::Column german = Local::shared().readLanguageColumn("de");

    help.windowWillShow();  // open, as the modal run would have it
    app.hub().config().setLanguage(Language::ru);
    app.app.delegate().setUILangLearning();
    EXPECT_EQ(c.helpTitle1->stringValue(), russian.at("helpTitle1")) << "at once while open";
    EXPECT_EQ(c.helpNext->attributedTitle().string(), russian.at("helpNext"));
    help.hide();

    app.hub().config().setLanguage(Language::de);
    app.app.delegate().setUILangLearning();
    help.windowWillShow();
    EXPECT_EQ(c.helpTitle1->stringValue(), german.at("helpTitle1")) << "at its next showing";
    help.hide();
}

enum class Bad { Truncated, RandomBytes, Empty, Picture, Folder };

TEST(HelpEndToEnd, AnUnplayableVideoHidesThePlayerOnceWithOneLineAndNoRestart) {
    test::application();
    test::VideoBundle bundle({});
    const std::filesystem::path good = bundle.root() / "good.mov";
    ASSERT_TRUE(test::makeClip(good, "color=c=0x00ff00:size=64x48:rate=30:duration=0.5"));
    const struct {
        Bad kind;
        const char* name;
    } cases[] = {{Bad::Truncated, "truncated"},
                 {Bad::RandomBytes, "random bytes"},
                 {Bad::Empty, "empty"},
                 {Bad::Picture, "renamed picture"},
                 {Bad::Folder, "folder"}};
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.name);
        const std::filesystem::path path = bundle.videoPath(1);
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
        switch (bad.kind) {
            case Bad::Truncated: {
                std::ifstream in(good, std::ios::binary);
                std::string bytes((std::istreambuf_iterator<char>(in)), {});
                const size_t data = bytes.find("mdat");
                ASSERT_NE(data, std::string::npos);
                bundle.writeVideo(1, bytes.substr(0, data + (bytes.size() - data) / 3));
                break;
            }
            case Bad::RandomBytes: {
                std::mt19937 random(11);
                std::string bytes(8192, '\0');
                for (char& b : bytes) b = char(random());
                bundle.writeVideo(1, bytes);
                break;
            }
            case Bad::Empty:
                bundle.writeVideo(1, "");
                break;
            case Bad::Picture: {
                QImage picture(64, 48, QImage::Format_RGB32);
                picture.fill(Qt::blue);
                ASSERT_TRUE(picture.save(QString::fromStdString(path.string()), "PNG"));
                break;
            }
            case Bad::Folder:
                std::filesystem::create_directories(path);
                break;
        }
        LogCapture log;
        auto controller = std::make_shared<WVHelpController>();
        Window window(Rect(Point{0, 0}, WVHelpController::kContentSize));
        window.setContentViewController(controller);
        controller->viewWillAppear();
        PlayerView* playerView = controller->playerView;
        EXPECT_TRUE(pumpUntil(true, [&] { return playerView->isHidden(); }))
            << "the player view stayed up";
        // Settled: the player has stopped and no notice waits on the queue.
        EXPECT_TRUE(pumpUntil(true, [&] {
            return (!controller->player() || !controller->player()->isPlaying()) &&
                   MainQueue::shared().empty();
        }));
        EXPECT_EQ(controller->restarts(), 0);
        EXPECT_TRUE(playerView->isHidden());
        EXPECT_EQ(playerView->alphaValue(), 0.0);
        if (controller->player()) EXPECT_EQ(controller->player()->framesShown(), 0);
        size_t lines = 0;
        for (const std::string& line : log.lines())
            lines += line.find(path.string()) != std::string::npos;
        EXPECT_EQ(lines, 1u);
        controller->viewWillDisappear();
    }
}

}  // namespace
}  // namespace wv::screens
