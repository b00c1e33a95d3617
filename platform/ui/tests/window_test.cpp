#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QMainWindow>
#include <QTimer>
#include <string>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/Timer.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Layer.h"
#include "platform/ui/MainLoop.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

TEST(Window, ResizeStepsMakeOneLiveResizeAndFollowTheContent) {
    test::application();
    ManualRunLoop loop;
    Window window(Rect(0, 0, 1100, 620));
    window.makeKeyAndOrderFront();
    QCoreApplication::processEvents();
    std::vector<std::string> posted;
    auto& center = NotificationCenter::defaultCenter();
    std::vector<NotificationCenter::ObserverToken> tokens;
    for (const char* name : {kWindowDidResizeNotification, kWindowWillStartLiveResizeNotification,
                             kWindowDidEndLiveResizeNotification})
        tokens.push_back(center.addObserver(
            name, &window, [&](const Notification& n) { posted.push_back(n.name); }));

    window.setContentSize(Size{1200, 700});
    QCoreApplication::processEvents();
    window.setContentSize(Size{1300, 720});
    QCoreApplication::processEvents();
    EXPECT_EQ(window.contentView()->frame().size, (Size{1300, 720}));
    EXPECT_EQ(window.frame().size, (Size{1300, 720}));
    loop.advance(0.1);
    EXPECT_EQ(std::count(posted.begin(), posted.end(), kWindowWillStartLiveResizeNotification), 1);
    EXPECT_EQ(std::count(posted.begin(), posted.end(), kWindowDidResizeNotification), 2);
    EXPECT_EQ(std::count(posted.begin(), posted.end(), kWindowDidEndLiveResizeNotification), 0);
    loop.advance(0.3);
    EXPECT_EQ(std::count(posted.begin(), posted.end(), kWindowDidEndLiveResizeNotification), 1);
    EXPECT_EQ(posted.front(), kWindowWillStartLiveResizeNotification);
    for (auto token : tokens) center.removeObserver(token);
}

TEST(Window, ContentViewIsFoundFromItsSubviews) {
    test::application();
    Window window(Rect(0, 0, 300, 200));
    auto* child = new View(Rect(10, 10, 20, 20));
    window.contentView()->addSubview(child);
    EXPECT_EQ(child->window(), &window);
    EXPECT_EQ(Window::forWidget(child), &window);
    View loose(Rect(0, 0, 5, 5));
    EXPECT_EQ(loose.window(), nullptr);
}

TEST(Window, ReplacedControllerViewStaysWithItsController) {
    test::application();
    Window window(Rect(0, 0, 300, 200));
    auto first = std::make_shared<ViewController>();
    auto second = std::make_shared<ViewController>();
    window.setContentViewController(first);
    View* firstView = first->view();
    EXPECT_EQ(window.contentView(), firstView);
    EXPECT_EQ(firstView->frame().size, (Size{300, 200}));
    window.setContentViewController(second);
    EXPECT_EQ(window.contentView(), second->view());
    EXPECT_EQ(first->view(), firstView) << "not deleted, not made again";
    EXPECT_EQ(firstView->window(), nullptr);
}

TEST(Application, ModalRunEndsWithStopModal) {
    test::application();
    Window help(Rect(0, 0, 400, 300));
    Application& app = Application::shared();
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        wasModal = app.isRunningModal();
        app.stopModal(7);
    });
    EXPECT_EQ(app.runModal(help), 7);
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(app.isRunningModal());
}

TEST(Application, ClosingTheModalWindowEndsTheRun) {
    test::application();
    Window help(Rect(0, 0, 400, 300));
    int closed = 0;
    help.onWillClose = [&] { ++closed; };
    QTimer::singleShot(0, [&] { help.close(); });
    EXPECT_EQ(Application::shared().runModal(help), 0);
    EXPECT_EQ(closed, 1) << "the window's own close handler still runs";
}

TEST(MainLoop, RunsTheMainQueueOnTheQtEventLoop) {
    test::application();
    MainQueue::shared().clear();
    MainLoop::install();
    QEventLoop events;
    std::vector<int> order;
    MainQueue::shared().asyncAfter(0.03, [&] {
        order.push_back(2);
        events.quit();
    });
    MainQueue::shared().async([&] { order.push_back(1); });
    QTimer::singleShot(2000, &events, &QEventLoop::quit);  // a guard, not the expected end
    events.exec();
    MainLoop::uninstall();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(MainLoop, ABlockThatRunsALoopOfItsOwnStillGetsTheBlocksItAddsRun) {
    test::application();
    MainQueue::shared().clear();
    MainLoop::install();
    QEventLoop outer;
    std::vector<int> order;
    MainQueue::shared().async([&] {
        // As a modal window would: a loop inside a block, ended by a later block.
        QEventLoop inner;
        MainQueue::shared().asyncAfter(0.02, [&] {
            order.push_back(1);
            inner.quit();
        });
        QTimer::singleShot(2000, &inner, &QEventLoop::quit);  // a guard
        inner.exec();
        order.push_back(2);
        MainQueue::shared().asyncAfter(0.02, [&] {
            order.push_back(3);
            outer.quit();
        });
    });
    QTimer::singleShot(4000, &outer, &QEventLoop::quit);  // a guard
    outer.exec();
    MainLoop::uninstall();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(MainLoop, AnimationEndsAndRepeatingTimersFireInRealTime) {
    test::application();
    MainQueue::shared().clear();
    MainLoop::install();
    View view(Rect(0, 0, 20, 20));
    Animation fade;
    fade.keyPath = "opacity";
    fade.from = 1.0;
    fade.to = 0.0;
    fade.duration = 0.05;
    QEventLoop events;
    std::optional<bool> finished;
    fade.completion = [&](bool f) {
        finished = f;
        events.quit();
    };
    int ticks = 0;
    auto timer = Timer::scheduled(0.01, true, [&](Timer&) { ++ticks; });
    view.layer()->addAnimation(fade, "fade");
    QTimer::singleShot(2000, &events, &QEventLoop::quit);
    events.exec();
    timer->invalidate();
    MainLoop::uninstall();
    EXPECT_EQ(finished, std::optional<bool>(true));
    EXPECT_GE(ticks, 2);
    EXPECT_FALSE(view.hasRunningAnimations());
}

}  // namespace
}  // namespace wv
