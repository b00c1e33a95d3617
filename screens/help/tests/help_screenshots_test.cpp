// Pictures of the help's three pages with their videos' frames, in English and Russian, and of
// the about window, written as PNG files beside the test program for a person to look at.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <chrono>

#include "app/tests/AppTestSupport.h"
#include "engine/Model.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/ui/Window.h"
#include "screens/help/WVAboutViewController.h"
#include "screens/help/WVHelpController.h"
#include "screens/help/tests/HelpTestSupport.h"
#include "storage/Local.h"

namespace wv::screens {
namespace {

bool waitForFrame(const WVHelpController& c) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (c.player() && c.player()->framesShown() > 0) return true;
    }
    return false;
}

// Mostly one colour: a picture that is nearly all backdrop shows nothing of the page.
bool looksBlank(const QImage& image) {
    const QRgb first = image.pixel(0, 0);
    int differing = 0;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7) differing += image.pixel(x, y) != first;
    return differing < 50;
}

TEST(HelpScreenshots, TheThreePagesInEnglishAndRussianAndTheAboutWindow) {
    test::application();
    Local::shared().valueForKey("helpNext");
    model();
    // The videos the build recorded into the bundle.
    ManualRunLoop loop;
    for (const char* language : {"en", "ru"}) {
        Local::shared().setInterfaceLanguage(language);
        auto c = std::make_shared<WVHelpController>();
        Window window(Rect(Point{0, 0}, WVHelpController::kContentSize));
        window.setContentViewController(c);
        window.makeKeyAndOrderFront();
        c->viewWillAppear();
        for (int page = 1; page <= 3; ++page) {
            SCOPED_TRACE(std::string(language) + " page " + std::to_string(page));
            if (page > 1) {
                c->nextButtonClicked();
                loop.advance(0.6);
            }
            ASSERT_TRUE(waitForFrame(*c));
            const QImage image = c->view()->snapshot();
            EXPECT_EQ(image.size(), QSize(880, 700));
            EXPECT_FALSE(looksBlank(image));
            const QString path =
                QDir::currentPath() + QString("/help_%1_page%2.png").arg(language).arg(page);
            ASSERT_TRUE(image.save(path)) << path.toStdString();
        }
        c->viewWillDisappear();
    }
    Local::shared().setInterfaceLanguage("en");

    auto about = std::make_shared<WVAboutViewController>();
    Window window(Rect(Point{0, 0}, WVAboutViewController::kContentSize));
    window.setContentViewController(about);
    const QImage image = about->view()->snapshot();
    EXPECT_FALSE(looksBlank(image));
    ASSERT_TRUE(image.save(QDir::currentPath() + "/about.png"));
}

// What the bundle without videos shows: the page's texts under an empty video area.
TEST(HelpScreenshots, APageWithoutItsVideo) {
    test::application();
    Local::shared().valueForKey("helpNext");
    model();
    test::VideoBundle bundle({});
    auto c = std::make_shared<WVHelpController>();
    Window window(Rect(Point{0, 0}, WVHelpController::kContentSize));
    window.setContentViewController(c);
    c->viewWillAppear();
    EXPECT_TRUE(c->playerView->isHidden());
    const QImage image = c->view()->snapshot();
    EXPECT_FALSE(looksBlank(image)) << "the texts show";
    ASSERT_TRUE(image.save(QDir::currentPath() + "/help_en_page1_no_video.png"));
    c->viewWillDisappear();
}

}  // namespace
}  // namespace wv::screens
