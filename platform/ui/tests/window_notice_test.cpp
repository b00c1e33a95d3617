// A view hears that it is about to change windows, with its subviews, whichever way it moves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

class NoticingView : public View {
  public:
    NoticingView(std::string name, std::vector<std::pair<std::string, Window*>>& log)
        : View(Rect(0, 0, 10, 10)), name_(std::move(name)), log_(log) {}
    void viewWillMoveToWindow(Window* newWindow) override {
        log_.emplace_back(name_, newWindow);
        // The notice comes before the move: the view is still where it was.
        before.push_back(window());
    }
    std::vector<Window*> before;

  private:
    std::string name_;
    std::vector<std::pair<std::string, Window*>>& log_;
};

using Log = std::vector<std::pair<std::string, Window*>>;

class WindowNoticeTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
};

TEST_F(WindowNoticeTest, EnteringAndLeavingWindowsIsNoticedOnceByEveryViewOfTheMovedTree) {
    Window first(Rect(0, 0, 200, 100)), second(Rect(0, 0, 200, 100));
    Log log;
    auto* parent = new NoticingView("parent", log);
    auto* child = new NoticingView("child", log);
    parent->addSubview(child);
    EXPECT_TRUE(log.empty()) << "neither is in a window yet";

    first.contentView()->addSubview(parent);
    EXPECT_EQ(log, (Log{{"parent", &first}, {"child", &first}}));
    EXPECT_EQ(parent->before, std::vector<Window*>{nullptr});

    log.clear();
    second.contentView()->addSubview(parent);  // moved straight across: one notice, not two
    EXPECT_EQ(log, (Log{{"parent", &second}, {"child", &second}}));
    EXPECT_EQ(child->before.back(), &first);

    log.clear();
    parent->removeFromSuperview();
    EXPECT_EQ(log, (Log{{"parent", nullptr}, {"child", nullptr}}));

    log.clear();
    parent->addSubview(child);  // re-added inside the same (window-less) tree: no notice
    auto* holder = new View(Rect(0, 0, 50, 50));
    holder->addSubview(parent);
    EXPECT_TRUE(log.empty());
    delete holder;
}

TEST_F(WindowNoticeTest, AContentViewHearsOfTheWindowItIsGivenTo) {
    Window window(Rect(0, 0, 200, 100));
    Log log;
    auto* content = new NoticingView("content", log);
    content->addSubview(new NoticingView("inner", log));
    window.setContentView(content);
    EXPECT_EQ(log, (Log{{"content", &window}, {"inner", &window}}));
    EXPECT_EQ(content->window(), &window);
}

}  // namespace
}  // namespace wv
