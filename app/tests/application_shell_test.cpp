// The application around the typing screen: launch order, menus, pushes, quitting, the main
// window's controller and the screen's window observers.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/AppDelegate.h"
#include "app/WVFingersView.h"
#include "app/WVKeyboardView.h"
#include "app/WVScreenControllers.h"
#include "app/tests/RunningApplication.h"
#include "engine/RecordingCloud.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/plist/Value.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/MenuItem.h"
#include "storage/Local.h"

namespace wv {

void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}

namespace {

using test::RunningApplication;

TEST(ApplicationLaunch, TheReportingSdkStartsBeforeTheFirstEventOfAFirstLaunch) {
    RunningApplication app;
    EXPECT_EQ(app.sdk->startCount, 1);
    EXPECT_EQ(app.sdk->eventsBeforeStart, 0);
    ASSERT_FALSE(app.sdk->list().empty());
    EXPECT_EQ(app.sdk->list().front().name, "firstLaunch");
    auto crashOnExceptions =
        UserDefaults::standard().objectForKey("NSApplicationCrashOnExceptions");
    ASSERT_TRUE(crashOnExceptions);
    EXPECT_EQ(*crashOnExceptions->get<bool>(), true);
}

TEST(ApplicationLaunch, TheMenuShowsTheLanguageChoiceAndHidesDebugUpdatesAndFeedback) {
    RunningApplication app;
    AppDelegate& delegate = app.app.delegate();
    EXPECT_TRUE(delegate.menuItemDebug->isHidden());
    EXPECT_TRUE(delegate.menuItemUpdates->isHidden());
    EXPECT_TRUE(delegate.menuItemFeedback->isHidden());
    EXPECT_TRUE(delegate.menuItemBottomSeparator->isHidden());
    EXPECT_FALSE(delegate.menuItemQuit->isHidden());
    // The interface follows the system unless the learner chose otherwise.
    EXPECT_EQ(delegate.menuItemLangSystem->state(), 1);
    EXPECT_EQ(delegate.menuItemLangLearning->state(), 0);
    EXPECT_EQ(delegate.menuItemQuit->title(), Local::shared().localize("menuQuit"));
    EXPECT_EQ(delegate.menuItemLangIterface->title(),
              Local::shared().localize("menuLangInterface"));
}

// Every row a menu shows is either a titled item or drawn as a separator: a blank row that
// can be chosen is neither.
void expectNoBlankRows(QMenu* menu, const std::string& path) {
    for (QAction* action : menu->actions()) {
        if (!action->isVisible()) continue;
        EXPECT_TRUE(action->isSeparator() || !action->text().isEmpty()) << "blank row in " << path;
        if (action->menu())
            expectNoBlankRows(action->menu(), path + " > " + action->text().toStdString());
    }
}

TEST(ApplicationLaunch, MenusShowSeparatorsAsSeparatorsAndNoBlankRows) {
    RunningApplication app;
    QMenuBar* bar = app.window().widget()->menuBar();
    int menus = 0;
    for (QAction* top : bar->actions()) {
        if (!top->isVisible() || !top->menu()) continue;
        ++menus;
        expectNoBlankRows(top->menu(), top->text().toStdString());
    }
    EXPECT_GT(menus, 0);
    // The separator under About is shown, and shown as a line.
    QMenu* appMenu = bar->actions().front()->menu();
    ASSERT_NE(appMenu, nullptr);
    ASSERT_GE(appMenu->actions().size(), 2);
    EXPECT_TRUE(appMenu->actions()[1]->isSeparator());
    EXPECT_TRUE(appMenu->actions()[1]->isVisible());
}

// The key tables of a language nobody types would only take memory and start-up time.
TEST(ApplicationLaunch, OnlyTheLanguageBeingTypedBuildsItsKeyTables) {
    RunningApplication app;
    const Language typed = app.hub().config().language();
    for (const auto& language : app.hub().langRoot().languages()) {
        EXPECT_EQ(language->hasKeys(), language->type() == typed) << language->code();
    }
}

TEST(ApplicationLaunch, ChoosingTheLearningLanguageRetitlesMenuAndScreenAtOnce) {
    RunningApplication app;
    AppDelegate& delegate = app.app.delegate();
    app.hub().config().setLanguage(Language::de);
    delegate.menuItemLangLearning->perform();
    EXPECT_TRUE(app.hub().config().sameLangOfUIAndTyping());
    EXPECT_EQ(delegate.menuItemLangLearning->state(), 1);
    EXPECT_EQ(delegate.menuItemLangSystem->state(), 0);
    const Local::Column german = Local::shared().readLanguageColumn("de");
    EXPECT_EQ(delegate.menuItemQuit->title(), german.at("menuQuit"));
    EXPECT_EQ(app.screen().indicatorTyposTitle->stringValue(), german.at("mainTypos"));
    // Saved at once.
    auto stored = plist::readFile(Model::configURL());
    ASSERT_TRUE(stored && stored->get<plist::Dictionary>());
    EXPECT_EQ(*stored->get<plist::Dictionary>()->find("sameLangOfUIAndTyping")->get<bool>(), true);

    delegate.menuItemLangSystem->perform();
    EXPECT_FALSE(app.hub().config().sameLangOfUIAndTyping());
    EXPECT_EQ(delegate.menuItemLangSystem->state(), 1);
    EXPECT_EQ(delegate.menuItemQuit->title(),
              Local::shared().readLanguageColumn("en").at("menuQuit"));
}

TEST(ApplicationLaunch, APushIsLoggedAndAsksTheCloudForChanges) {
    RecordingCloud* cloud = nullptr;
    ModelServices services;
    services.makeCloud = [&cloud](LessonStats&) -> std::unique_ptr<WVCloudProtocol> {
        auto made = std::make_unique<RecordingCloud>();
        cloud = made.get();
        return made;
    };
    RunningApplication app(false, std::move(services));
    ASSERT_NE(cloud, nullptr);
    LogCapture log;
    app.app.delegate().didReceiveRemoteNotification({});
    EXPECT_TRUE(log.contains("PUSH NOTIFICATION userInfo : [:]"));
    EXPECT_EQ(cloud->fetchCount, 1);
    plist::Dictionary info;
    info.set("ck", std::string("zone"));
    app.app.delegate().didReceiveRemoteNotification(info);
    EXPECT_TRUE(log.contains("PUSH NOTIFICATION userInfo : [\"ck\": \"zone\"]"));
    EXPECT_EQ(cloud->fetchCount, 2);
}

TEST(ApplicationLaunch, ClosingTheMainWindowQuitsAndSavesTheSettings) {
    RunningApplication app;
    app.hub().config().setPressEnterCounter(7);  // a store that is not announced
    app.window().close();
    auto stored = plist::readFile(Model::configURL());
    ASSERT_TRUE(stored && stored->get<plist::Dictionary>());
    EXPECT_EQ(*stored->get<plist::Dictionary>()->find("pressEnterCounter")->get<int64_t>(), 7);
}

TEST(ApplicationLaunch, StubActionsPrintTheirLines) {
    RunningApplication app;
    LogCapture log;
    app.app.delegate().showFeedbackDialog();
    SUUpdater().checkForUpdates();
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Utils Stub: showFeedbackDialog()",
                                                     "check for updates stub"}));
}

TEST(ApplicationLaunch, PrintingAllLessonSamplesRestoresTheLesson) {
    RunningApplication app;
    app.language().setDifficulty(2);
    LogCapture log;
    app.app.delegate().dbgPrintAllLessonSample();
    for (int lesson = 1; lesson <= 7; ++lesson)
        EXPECT_EQ(log.count("Lesson #" + std::to_string(lesson)), 1u);
    EXPECT_EQ(app.language().difficulty(), 2);
}

// ---- Main window

TEST(MainWindow, FirstLaunchShowsTheHelpAMomentLaterAndRecordsItAtOnce) {
    RunningApplication app(true);
    auto shown = UserDefaults::standard().objectForKey("helpOnFirstLaunchShown");
    ASSERT_TRUE(shown);
    EXPECT_TRUE(*shown->get<bool>());
    EXPECT_EQ(app.window().backgroundColor(), WVWindowController::kBackgroundColor);
    EXPECT_TRUE(app.window().isMovableByWindowBackground());

    bool modal = false;
    Window* help = app.app.windowController().helpWindowController().window();
    QTimer::singleShot(0, [&] {
        modal = Application::shared().isRunningModal() && help->isVisible();
        app.app.windowController().helpWindowController().hide();
    });
    app.loop.advance(0.05);
    EXPECT_FALSE(modal);
    app.loop.advance(0.06);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(Application::shared().isRunningModal());
    EXPECT_TRUE(app.window().isVisible());
}

// Ctrl+Q pressed in either window while the first-launch help runs modally.
class QuitDuringTheFirstLaunchHelp : public ::testing::TestWithParam<bool> {};

TEST_P(QuitDuringTheFirstLaunchHelp, CtrlQQuitsAndSavesTheSettings) {
    const bool inTheHelp = GetParam();
    RunningApplication app(true);
    app.hub().config().setPressEnterCounter(7);  // a store that is not announced
    int terminations = 0;
    Application::shared().willTerminate = [&] {
        ++terminations;
        app.app.terminate();
    };
    Window* help = app.app.windowController().helpWindowController().window();
    bool pressedDuringTheHelp = false;
    QTimer::singleShot(0, [&] {
        pressedDuringTheHelp = Application::shared().isRunningModal() && help->isVisible();
        QWidget* target = inTheHelp ? help->widget() : app.window().widget();
        QTest::keyClick(target, Qt::Key_Q, Qt::ControlModifier);
        // Whatever happened, the test goes on: a run that did not end is ended here.
        if (terminations == 0) Application::shared().stopModal();
    });
    app.loop.advance(0.11);
    ASSERT_TRUE(pressedDuringTheHelp);
    EXPECT_EQ(terminations, 1);
    EXPECT_FALSE(Application::shared().isRunningModal());
    auto stored = plist::readFile(Model::configURL());
    ASSERT_TRUE(stored && stored->get<plist::Dictionary>());
    EXPECT_EQ(*stored->get<plist::Dictionary>()->find("pressEnterCounter")->get<int64_t>(), 7);
}

INSTANTIATE_TEST_SUITE_P(Windows, QuitDuringTheFirstLaunchHelp, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Help" : "Main"; });

TEST(MainWindow, NoHelpOnALaterLaunch) {
    RunningApplication app(false);
    bool modal = false;
    QTimer::singleShot(0, [&] {
        modal = Application::shared().isRunningModal();
        Application::shared().stopModal();
    });
    app.loop.advance(0.5);
    QCoreApplication::processEvents();
    EXPECT_FALSE(modal);
}

TEST(MainWindow, TheScreenNeverShrinksBelowTheSizeItsPartsNeed) {
    RunningApplication app;
    const Size asked[] = {{1000, 300}, {400, 700}, {300, 200}};
    for (const Size& size : asked) {
        app.window().setContentSize(size);
        QCoreApplication::processEvents();
        const Size shown = app.screen().view()->frame().size;
        EXPECT_GE(shown.width, 800) << size.width << " x " << size.height;
        EXPECT_GE(shown.height, 500) << size.width << " x " << size.height;
    }
    // Larger sizes are still the learner's to choose.
    app.window().setContentSize(Size{1300, 800});
    QCoreApplication::processEvents();
    EXPECT_EQ(app.window().frame().size, (Size{1300, 800}));
}

// With a file where the data folder belongs nothing can record that the help was shown: it
// must not open by itself, or it would open at every start.
TEST(MainWindow, WhereNothingCanBeStoredTheHelpDoesNotOpenByItself) {
    const auto folder = Folders::dataHome() / "com.wovanu.typing";
    std::ofstream(folder) << "not a folder\n";
    RunningApplication app(true);
    bool modal = false;
    QTimer::singleShot(0, [&] {
        modal = Application::shared().isRunningModal();
        Application::shared().stopModal();
    });
    app.loop.advance(0.5);
    QCoreApplication::processEvents();
    EXPECT_FALSE(modal);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder));
}

TEST(MainWindow, EveryResizeStepIsAnnounced) {
    RunningApplication app;
    int posts = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        "WVWindowControllerWindowDidResize", nullptr, [&](const Notification& n) {
            EXPECT_EQ(n.sender, nullptr);
            ++posts;
        });
    app.window().setContentSize(Size{1200, 700});
    QCoreApplication::processEvents();
    app.window().setContentSize(Size{1300, 760});
    QCoreApplication::processEvents();
    EXPECT_EQ(posts, 2);
    NotificationCenter::defaultCenter().removeObserver(token);
}

TEST(MainWindow, TheKeyboardFollowsTheWindowOnceTheLiveResizeEnds) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    const double menuBar = app.window().frame().height() - screen.view()->frame().height();
    app.window().setContentSize(Size{1650, 930 + menuBar});
    QCoreApplication::processEvents();
    EXPECT_FALSE(screen.keyboardSnapshot->isHidden());  // a still picture while resizing
    EXPECT_EQ(screen.keyboard->alphaValue(), 0.0);
    app.loop.advance(0.5);
    EXPECT_TRUE(screen.keyboardSnapshot->isHidden());
    EXPECT_EQ(screen.keyboard->alphaValue(), 1.0);
    EXPECT_EQ(screen.keyboard->frame().size, (Size{1170, 401}));
    EXPECT_EQ(screen.fingersView->frame(), screen.keyboard->frame());
}

TEST(MainWindow, TheKeyboardStartsWhereEveryLaterLayoutPutsIt) {
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    app.loop.advance(0.5);
    const Rect atLaunch = screen.keyboard->frame();
    EXPECT_EQ(screen.fingersView->frame(), atLaunch);
    EXPECT_TRUE(screen.keyboardSnapshot->isHidden());
    const Size size = app.window().frame().size;
    app.window().setContentSize(Size{size.width + 200, size.height + 100});
    QCoreApplication::processEvents();
    app.loop.advance(0.5);
    app.window().setContentSize(size);
    QCoreApplication::processEvents();
    app.loop.advance(0.5);
    EXPECT_EQ(screen.keyboard->frame(), atLaunch);
    EXPECT_EQ(screen.fingersView->frame(), atLaunch);
}

// ---- The screen's observers over hiding and showing

class CountingScreen : public WVMainViewController {
  public:
    void resizeUI() override {
        ++resizes;
        WVMainViewController::resizeUI();
    }
    void layoutIndicators() override {
        ++layouts;
        WVMainViewController::layoutIndicators();
    }
    QImage snapshotKeyboard() override {
        ++snapshots;
        return WVMainViewController::snapshotKeyboard();
    }
    int resizes = 0, layouts = 0, snapshots = 0;
};

TEST(ScreenObservers, ShowingTheScreenAgainRegistersEachObserverOnce) {
    test::application();
    ManualRunLoop loop;
    UserDefaults::standard().setObject("helpOnFirstLaunchShown", plist::Value(true));
    Window window(Rect(0, 0, 1100, 620));
    auto screen = std::make_shared<CountingScreen>();
    window.setContentViewController(screen);
    screen->viewWillAppear();
    screen->viewDidDisappear();
    screen->viewWillAppear();
    screen->viewDidDisappear();
    screen->viewWillAppear();

    auto& center = NotificationCenter::defaultCenter();
    screen->resizes = screen->layouts = screen->snapshots = 0;
    center.post(kWindowDidResizeNotification, &window);
    center.post("WVWindowControllerWindowDidResize");
    center.post(kWindowWillStartLiveResizeNotification, &window);
    EXPECT_EQ(screen->resizes, 1);
    EXPECT_EQ(screen->layouts, 1);
    EXPECT_EQ(screen->snapshots, 1);

    // ... and the keyboard still rescales at the end of a live resize.
    window.setContentSize(Size{1650, 930});
    center.post(kWindowDidEndLiveResizeNotification, &window);
    EXPECT_EQ(screen->keyboard->frame().width(), std::ceil(780 * uiScaleFactor()));
    EXPECT_EQ(screen->keyboard->alphaValue(), 1.0);

    screen->viewDidDisappear();
    screen->resizes = screen->layouts = screen->snapshots = 0;
    center.post(kWindowDidResizeNotification, &window);
    center.post("WVWindowControllerWindowDidResize");
    center.post(kWindowWillStartLiveResizeNotification, &window);
    EXPECT_EQ(screen->resizes + screen->layouts + screen->snapshots, 0);
}

}  // namespace
}  // namespace wv
