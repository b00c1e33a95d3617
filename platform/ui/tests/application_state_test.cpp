// The application's state and quit notices, which the reporting SDK turns into events and uses
// to settle its work before the program ends.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMainWindow>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/ui/Application.h"
#include "platform/ui/MainLoop.h"
#include "platform/ui/Window.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

// Every application notice, in order, with whether it came from the application.
class Notices {
  public:
    Notices() {
        for (const char* name :
             {Application::kWillBecomeActiveNotification, Application::kDidBecomeActiveNotification,
              Application::kWillResignActiveNotification, Application::kDidResignActiveNotification,
              Application::kWillTerminateNotification})
            tokens_.push_back(NotificationCenter::defaultCenter().addObserver(
                name, nullptr, [this](const Notification& n) {
                    names.push_back(n.name);
                    fromApplication = fromApplication && n.sender == &Application::shared();
                    if (onNotice) onNotice(n.name);
                }));
    }
    ~Notices() {
        for (auto token : tokens_) NotificationCenter::defaultCenter().removeObserver(token);
    }
    std::vector<std::string> names;
    bool fromApplication = true;
    std::function<void(const std::string&)> onNotice;

  private:
    std::vector<NotificationCenter::ObserverToken> tokens_;
};

const std::vector<std::string> kBecomeActive = {"NSApplicationWillBecomeActiveNotification",
                                                "NSApplicationDidBecomeActiveNotification"};
const std::vector<std::string> kResignActive = {"NSApplicationWillResignActiveNotification",
                                                "NSApplicationDidResignActiveNotification"};

// Runs the event loop until `done` holds; false when 10 s pass first.
template <typename Predicate>
bool processUntil(Predicate done) {
    QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

TEST(ApplicationState, AChangeIsPostedAsItsWillAndDidPairOnce) {
    test::application();
    auto& application = Application::shared();
    application.setActive(false);
    Notices notices;
    application.setActive(true);
    application.setActive(true);
    EXPECT_TRUE(application.isActive());
    application.setActive(false);
    application.setActive(false);
    std::vector<std::string> expected = kBecomeActive;
    expected.insert(expected.end(), kResignActive.begin(), kResignActive.end());
    EXPECT_EQ(notices.names, expected);
    EXPECT_TRUE(notices.fromApplication);
}

TEST(ApplicationState, TheObserversSeeTheOldStateOnWillAndTheNewOneOnDid) {
    test::application();
    auto& application = Application::shared();
    application.setActive(false);
    Notices notices;
    std::vector<bool> seen;
    notices.onNotice = [&](const std::string&) { seen.push_back(application.isActive()); };
    application.setActive(true);
    application.setActive(false);
    EXPECT_EQ(seen, (std::vector<bool>{false, true, true, false}));
}

TEST(ApplicationState, TheFirstFocusedWindowOfTheProgramMakesItActive) {
    test::application();
    auto& application = Application::shared();
    // Qt's state only ever moves once per process here: the offscreen platform keeps the
    // focus when a window closes.
    if (qGuiApp->applicationState() == Qt::ApplicationActive)
        GTEST_SKIP() << "an earlier test of this process made the program active";
    EXPECT_FALSE(application.isActive());
    Notices notices;
    Window window(Rect(0, 0, 300, 200));
    window.makeKeyAndOrderFront();
    window.widget()->activateWindow();
    ASSERT_TRUE(processUntil([&] { return application.isActive(); }));
    EXPECT_EQ(notices.names, kBecomeActive);
    EXPECT_TRUE(notices.fromApplication);
}

TEST(ApplicationTermination, QuittingPostsWillTerminateOnceAfterTheDelegateHook) {
    test::application();
    auto& application = Application::shared();
    Notices notices;
    std::vector<std::string> order;
    notices.onNotice = [&](const std::string& name) {
        order.push_back(name);
        // Quitting from inside the quit (a window closed on the way out) adds nothing.
        application.terminate();
    };
    application.willTerminate = [&] { order.push_back("willTerminate"); };
    application.terminate();
    application.willTerminate = nullptr;
    EXPECT_EQ(order, (std::vector<std::string>{"willTerminate",
                                               "NSApplicationWillTerminateNotification"}));
    EXPECT_TRUE(notices.fromApplication);
}

TEST(ApplicationTermination, QuittingWaitsForWorkThatHoldsOffSuddenTermination) {
    test::application();
    auto& application = Application::shared();
    application.setTerminationGraceForTesting(std::chrono::seconds(60));
    std::atomic<bool> finished{false};
    std::thread worker;
    Notices notices;
    // What an SDK does on the notice: record something on its own thread, holding off
    // termination until it is on disk.
    notices.onNotice = [&](const std::string&) {
        ProcessInfo::shared().disableSuddenTermination();
        worker = std::thread([&] {
            finished = true;
            ProcessInfo::shared().enableSuddenTermination();
        });
    };
    application.terminate();
    const bool finishedBeforeQuit = finished.load();
    worker.join();
    application.setTerminationGraceForTesting(Application::kTerminationGrace);
    EXPECT_TRUE(finishedBeforeQuit);
    EXPECT_TRUE(ProcessInfo::shared().suddenTerminationAllowed());
}

TEST(ApplicationTermination, WorkThatNeverEndsDelaysQuittingOnlyByTheGrace) {
    test::application();
    auto& application = Application::shared();
    EXPECT_EQ(Application::kTerminationGrace, std::chrono::milliseconds(2000));
    application.setTerminationGraceForTesting(std::chrono::milliseconds(50));
    ProcessInfo::shared().disableSuddenTermination();
    application.terminate();  // returns: a stuck piece of work does not keep the program alive
    EXPECT_FALSE(ProcessInfo::shared().suddenTerminationAllowed());
    ProcessInfo::shared().enableSuddenTermination();
    application.setTerminationGraceForTesting(Application::kTerminationGrace);
}

// Work that only has to come after the first picture (the reporting SDK's start) waits for
// the first paint of any window, runs once, and runs at once for a late caller. Each test program runs in its own process, so this one sees the first paint.
TEST(ApplicationFirstPaint, WaitingWorkRunsOnceRightAfterTheFirstPaintAndLateWorkAtOnce) {
    test::application();
    MainQueue::shared().clear();
    MainLoop::install();
    std::vector<std::string> order;
    class Painted final : public QWidget {
      public:
        explicit Painted(std::vector<std::string>& order) : order_(order) {}

      protected:
        void paintEvent(QPaintEvent*) override { order_.push_back("paint"); }

      private:
        std::vector<std::string>& order_;
    } widget(order);
    widget.resize(200, 100);
    auto& application = Application::shared();
    int runs = 0;
    application.afterFirstPaint([&] {
        order.push_back("waiting");
        ++runs;
    });
    for (int turn = 0; turn < 5; ++turn) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(order.empty()) << "nothing was painted, nothing ran";

    widget.show();
    ASSERT_TRUE(processUntil([&] { return runs > 0; }));
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(order.front(), "paint");
    EXPECT_EQ(order.back(), "waiting");

    bool late = false;
    application.afterFirstPaint([&] { late = true; });
    EXPECT_FALSE(late) << "not inside the caller";
    ASSERT_TRUE(processUntil([&] { return late; }));
    widget.update();
    const auto paints = [&] { return std::count(order.begin(), order.end(), "paint"); };
    const auto before = paints();
    ASSERT_TRUE(processUntil([&] { return paints() > before; }));
    for (int turn = 0; turn < 3; ++turn) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(runs, 1);
    MainLoop::uninstall();
}

}  // namespace
}  // namespace wv
