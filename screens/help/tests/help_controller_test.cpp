// The help window's pages, slides, videos and close on a manual clock, with a scripted video
// back end standing in for the decoder.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <string>
#include <vector>

#include "app/Analytics.h"
#include "app/tests/AppTestSupport.h"
#include "app/tests/RecordingAnalyticsSdk.h"
#include "engine/Model.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/KeyEvent.h"
#include "platform/ui/Window.h"
#include "screens/help/WVHelpController.h"
#include "screens/help/WVHelpWindowController.h"
#include "screens/help/tests/HelpTestSupport.h"
#include "storage/Local.h"
#include "storage/LocalizedWindows.h"

namespace wv::screens {
namespace {

using Screen = WVHelpController::screenId;

class HelpControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        opened_ = test::ScriptedVideoBackend::install();
        Analytics::setSdk(sdk_);
        // Made before the help: the table's first use re-localises every window once.
        Local::shared().valueForKey("helpNext");
        model();
    }
    void TearDown() override { VideoBackend::setLoader(&VideoBackend::loadModule); }

    // Opens the help as the presenter does, without the modal run.
    void present() {
        window_ = help_.window();
        help_.windowWillShow();
        window_->makeKeyAndOrderFront();
    }
    WVHelpController& controller() { return help_.helpController(); }
    std::vector<std::string> openedNames() const {
        std::vector<std::string> names;
        for (const auto& open : *opened_) names.push_back(open.file.filename().string());
        return names;
    }
    // The latest stream delivers a picture and reaches its end; the end notice follows on the
    // next turn of the main queue.
    void playThrough(bool withFrame = true) {
        auto& stream = *opened_->back().stream;
        if (withFrame) stream.events.frame(QImage(8, 8, QImage::Format_RGB32));
        stream.events.ended();
        loop_.runUntilIdle();
    }
    static bool shown(View* page) { return !page->isHidden() && page->alphaValue() == 1.0; }
    static bool hidden(View* page) { return page->isHidden() && page->alphaValue() == 0.0; }

    ManualRunLoop loop_;
    test::VideoBundle bundle_{{1, 2, 3}};
    std::shared_ptr<std::vector<test::ScriptedVideoBackend::Opened>> opened_;
    std::shared_ptr<test::RecordingAnalyticsSdk> sdk_ =
        std::make_shared<test::RecordingAnalyticsSdk>();
    WVHelpWindowController help_;
    Window* window_ = nullptr;
};

TEST_F(HelpControllerTest, BeforeItsFirstShowingEveryPageIsTransparentAndTheSubscribePageCurrent) {
    help_.window();
    WVHelpController& c = controller();
    EXPECT_EQ(c.currentScreen(), Screen::subscribe);
    for (View* page : {c.startView, c.firstView, c.secondView, c.thirdView, c.subscribeView}) {
        EXPECT_EQ(page->alphaValue(), 0.0);
        EXPECT_TRUE(page->wantsLayer());
    }
    EXPECT_TRUE(opened_->empty());
}

TEST_F(HelpControllerTest, TheFirstShowingShowsPageOneWithItsVideoAndSendsTheHelpEvent) {
    present();
    WVHelpController& c = controller();
    EXPECT_EQ(c.currentScreen(), Screen::first);
    EXPECT_EQ(c.currentView(), c.firstView);
    EXPECT_TRUE(shown(c.firstView));
    EXPECT_TRUE(hidden(c.subscribeView));
    EXPECT_FALSE(c.helpNext->isHidden());
    EXPECT_EQ(openedNames(), std::vector<std::string>{"WV video 1.mov"});
    EXPECT_EQ(c.playerView->player(), c.player());
    EXPECT_TRUE(shown(c.playerView));
    EXPECT_EQ(c.view()->subviews().back(), c.closeButton) << "the buttons stay on top";
    EXPECT_EQ(c.helpTitle1->stringValue(), Local::shared().valueForKey("helpTitle1"));
    EXPECT_EQ(c.helpPage1of3->stringValue(), Local::shared().valueForKey("helpPage1of3"));

    ASSERT_EQ(sdk_->list().size(), 1u);
    const auto& event = sdk_->list()[0];
    EXPECT_EQ(event.name, "Help");
    EXPECT_EQ(event.contentType, std::nullopt);
    EXPECT_EQ(event.contentId, std::nullopt);
    EXPECT_EQ(event.attributes,
              (EventAttributes{{"lang", std::string(languageName(model().config().language()))},
                               {"firstLaunch", model().firstLaunch() ? "true" : "false"}}));
}

TEST_F(HelpControllerTest, NextSlidesEachPageInFromTheRightOverHalfASecond) {
    present();
    WVHelpController& c = controller();
    const struct {
        View* from;
        View* to;
        Screen screen;
        const char* video;
    } steps[] = {{c.firstView, c.secondView, Screen::second, "WV video 2.mov"},
                 {c.secondView, c.thirdView, Screen::third, "WV video 3.mov"}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.video);
        c.nextButtonClicked();
        EXPECT_EQ(c.currentScreen(), step.screen);
        EXPECT_EQ(c.fromView, step.from);
        EXPECT_EQ(c.toView, step.to);
        EXPECT_EQ(opened_->back().file.filename(), step.video) << "the video starts at once";
        EXPECT_FALSE(*(*opened_)[opened_->size() - 2].alive) << "the previous video stopped";
        EXPECT_EQ(step.to->presentationFrame().x(), 1100);
        EXPECT_EQ(step.from->presentationFrame().x(), 0);

        loop_.advance(0.25);
        const double incoming = step.to->presentationFrame().x();
        const double outgoing = step.from->presentationFrame().x();
        EXPECT_GT(incoming, 0);
        EXPECT_LT(incoming, 1100);
        EXPECT_NEAR(outgoing, incoming - 1100, 1e-6) << "both pages move together";

        loop_.advance(0.26);
        EXPECT_EQ(step.to->frame().x(), 0);
        EXPECT_EQ(step.to->presentationFrame().x(), 0);
        EXPECT_TRUE(hidden(step.from));
        loop_.advance(0.3);
        EXPECT_EQ(step.from->presentationFrame().x(), 0) << "back in place for its next turn";
        EXPECT_EQ(step.to->frame().size, step.from->frame().size);
    }
}

TEST_F(HelpControllerTest, NextOnTheLastPageClosesOnceWithoutASlideOrAVideo) {
    int hides = 0;
    Screen pageAtHide = Screen::subscribe;
    help_.onHide = [&] {
        ++hides;
        pageAtHide = controller().currentScreen();
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        present();
        WVHelpController& c = controller();
        c.nextButtonClicked();
        c.nextButtonClicked();
        loop_.advance(1.0);
        const size_t opens = opened_->size();
        c.nextButtonClicked();
        EXPECT_EQ(hides, round + 1) << "onHide once per close";
        EXPECT_EQ(pageAtHide, Screen::first);
        EXPECT_FALSE(window_->isVisible());
        EXPECT_EQ(c.currentScreen(), Screen::start);
        EXPECT_EQ(opened_->size(), opens) << "no video starts in a closed window";
        EXPECT_EQ(c.player(), nullptr);
        EXPECT_FALSE(*opened_->back().alive);
        EXPECT_FALSE(c.startView->hasRunningAnimations()) << "nothing slides";
        EXPECT_TRUE(hidden(c.thirdView));
        EXPECT_TRUE(shown(c.startView));
    }
    EXPECT_EQ(openedNames(),
              (std::vector<std::string>{"WV video 1.mov", "WV video 2.mov", "WV video 3.mov",
                                        "WV video 1.mov", "WV video 2.mov", "WV video 3.mov"}))
        << "each showing begins again on page 1";
}

TEST_F(HelpControllerTest, ReturnTurnsThePageAndEscapeClosesFromAnyPage) {
    int hides = 0;
    help_.onHide = [&] { ++hides; };
    present();
    KeyEvent key;
    key.type = KeyEvent::Type::KeyDown;
    key.window = window_;
    key.keyCode = 36;
    EXPECT_EQ(Application::shared().dispatchToMonitors(key), std::nullopt);
    EXPECT_EQ(controller().currentScreen(), Screen::second);
    key.keyCode = 53;
    EXPECT_EQ(Application::shared().dispatchToMonitors(key), std::nullopt);
    EXPECT_EQ(hides, 1);
    EXPECT_EQ(controller().currentScreen(), Screen::start);
    key.keyCode = 0;  // other keys pass
    present();
    EXPECT_TRUE(Application::shared().dispatchToMonitors(key).has_value());
    Window other;
    key.keyCode = 36;
    key.window = &other;
    EXPECT_TRUE(Application::shared().dispatchToMonitors(key).has_value())
        << "keys of other windows are not the help's";
    EXPECT_EQ(controller().currentScreen(), Screen::first);
}

TEST_F(HelpControllerTest, AMissingVideoHidesThePlayerForItsPageOnly) {
    std::filesystem::remove(bundle_.videoPath(2));
    present();
    WVHelpController& c = controller();
    c.nextButtonClicked();
    EXPECT_TRUE(hidden(c.playerView));
    EXPECT_EQ(c.player(), nullptr);
    EXPECT_TRUE(shown(c.secondView));
    EXPECT_FALSE(c.helpNext->isHidden());
    c.nextButtonClicked();
    EXPECT_TRUE(shown(c.playerView));
    EXPECT_EQ(openedNames(), (std::vector<std::string>{"WV video 1.mov", "WV video 3.mov"}));
}

// The controller's own operations, as a subclass sees them.
struct OpenController : WVHelpController {
    using WVHelpController::playVideo;
};

TEST_F(HelpControllerTest, PlayingAVideoThatIsNotInTheBundleFailsNamingTheResource) {
    std::filesystem::remove(bundle_.videoPath(3));
    auto c = std::make_shared<OpenController>();
    c->view();
    const auto error = c->playVideo(Screen::third);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->domain, "Can't open video resource WV video 3");
    EXPECT_EQ(error->code, 1);
    EXPECT_TRUE(error->userInfo.empty());
    EXPECT_EQ(c->player(), nullptr);
    EXPECT_FALSE(c->playVideo(Screen::first).has_value());
    EXPECT_EQ(openedNames(), std::vector<std::string>{"WV video 1.mov"});
}

TEST_F(HelpControllerTest, AVideoWithPicturesLoopsAndOneWithoutIsNeitherRestartedNorShown) {
    present();
    WVHelpController& c = controller();
    for (int pass = 1; pass <= 3; ++pass) playThrough();
    EXPECT_EQ(c.restarts(), 3);
    EXPECT_EQ(opened_->size(), 4u) << "each pass plays the file afresh";
    EXPECT_EQ(opened_->back().file.filename(), "WV video 1.mov");
    EXPECT_TRUE(opened_->back().stream->playing);
    EXPECT_TRUE(shown(c.playerView));

    const struct {
        const char* name;
        bool fails;
    } cases[] = {{"ends without a picture", false}, {"fails", true}};
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.name);
        c.nextButtonClicked();
        const std::string file = opened_->back().file.string();
        const int restartsBefore = c.restarts();
        const size_t opens = opened_->size();
        LogCapture log;
        if (bad.fails)
            opened_->back().stream->events.failed("cannot play " + file);
        else
            playThrough(false);
        loop_.runUntilIdle();
        EXPECT_EQ(c.restarts(), restartsBefore);
        EXPECT_EQ(opened_->size(), opens);
        EXPECT_TRUE(hidden(c.playerView));
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find(file), std::string::npos) << log.lines()[0];
        loop_.advance(1.0);
    }
}

TEST_F(HelpControllerTest, ReLocalisingRestartsTheVideoAndReachesTheHelpOpenOrClosed) {
    present();
    WVHelpController& c = controller();
    c.nextButtonClicked();
    const size_t opensBefore = opened_->size();
    Local& local = Local::shared();
    local.setInterfaceLanguage("ru");
    Local::refreshLocalizedWindows();
    EXPECT_EQ(c.helpTitle2->stringValue(), local.valueForKey("helpTitle2"));
    EXPECT_EQ(c.helpNext->attributedTitle().string(), local.valueForKey("helpNext"));
    EXPECT_EQ(opened_->size(), opensBefore + 1) << "a new player";
    EXPECT_FALSE(*(*opened_)[opensBefore - 1].alive) << "the old one stopped";
    EXPECT_EQ(openedNames().back(), "WV video 2.mov");
    EXPECT_EQ(opened_->back().stream->position(), 0) << "from the beginning";

    help_.hide();
    const size_t opens = opened_->size();
    local.setInterfaceLanguage("de");
    Local::refreshLocalizedWindows();
    EXPECT_EQ(opened_->size(), opens) << "no video in a closed window";
    present();
    EXPECT_EQ(c.helpTitle1->stringValue(), local.valueForKey("helpTitle1"));
    local.setInterfaceLanguage("en");
}

}  // namespace
}  // namespace wv::screens
