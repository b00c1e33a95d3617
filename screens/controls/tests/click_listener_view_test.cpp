#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "screens/controls/WVClickListenerView.h"
#include "screens/controls/tests/ControlsTestSupport.h"

namespace wv {
namespace {

class ClickListenerViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        view = std::make_unique<WVClickListenerView>(Rect(0, 0, 320, 40));
        token_ = NotificationCenter::defaultCenter().addObserver(
            WVClickListenerViewEventRecieved(), nullptr, [this](const Notification& n) {
                posts.push_back({loop.now(), n.sender});
            });
    }
    void TearDown() override {
        NotificationCenter::defaultCenter().removeObserver(token_);
        Application::shared().setMainWindow(nullptr);
    }
    void mouseUp(int clicks) {
        MouseEvent event;
        event.clickCount = clicks;
        view->mouseUp(event);
    }

    ManualRunLoop loop;
    std::unique_ptr<WVClickListenerView> view;
    std::vector<std::pair<double, const void*>> posts;

  private:
    NotificationCenter::ObserverToken token_ = 0;
};

TEST_F(ClickListenerViewTest, ASingleClickIsAnnouncedAFifthOfASecondLater) {
    const double start = loop.now();
    mouseUp(1);
    loop.advance(0.19);
    EXPECT_TRUE(posts.empty());
    loop.advance(0.02);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_NEAR(posts[0].first - start, 0.2, 1e-9);
    EXPECT_EQ(posts[0].second, view.get());
    loop.advance(1.0);
    EXPECT_EQ(posts.size(), 1u);
    EXPECT_EQ(WVClickListenerViewEventRecieved(), "WVClickListenerViewEventRecieved");
}

struct SequenceCase {
    const char* name;
    bool mainWindow;
    // Click counts of the mouse-ups, each after the given wait.
    std::vector<std::pair<double, int>> ups;
    size_t posts;
    bool fullScreen;
};

TEST_F(ClickListenerViewTest, DoubleClicksToggleFullScreenAndCancelTheWaitingSingleClick) {
    const SequenceCase cases[] = {
        {"quick double click", true, {{0, 1}, {0.1, 2}}, 0, true},
        {"slow double click", true, {{0, 1}, {0.3, 2}}, 1, true},
        {"two single clicks", true, {{0, 1}, {0.1, 1}}, 2, false},
        {"a count of zero", true, {{0, 0}}, 0, false},
        {"no main window", false, {{0, 1}, {0.1, 2}}, 0, false},
        {"triple click", true, {{0, 1}, {0.05, 2}, {0.05, 3}}, 0, false},
    };
    for (const SequenceCase& c : cases) {
        posts.clear();
        Window window(Rect(0, 0, 300, 200));
        window.makeKeyAndOrderFront();
        Application::shared().setMainWindow(c.mainWindow ? &window : nullptr);
        for (auto [wait, clicks] : c.ups) {
            loop.advance(wait);
            mouseUp(clicks);
        }
        loop.advance(1.0);
        EXPECT_EQ(posts.size(), c.posts) << c.name;
        EXPECT_EQ(window.isFullScreen(), c.fullScreen) << c.name;
        Application::shared().setMainWindow(nullptr);
    }
}

TEST_F(ClickListenerViewTest, AViewGoneBeforeTheWaitEndsPostsNothing) {
    auto* gone = new WVClickListenerView(Rect(0, 0, 10, 10));
    MouseEvent event;
    gone->mouseUp(event);
    delete gone;
    loop.advance(1.0);
    EXPECT_TRUE(posts.empty());
}

}  // namespace
}  // namespace wv
