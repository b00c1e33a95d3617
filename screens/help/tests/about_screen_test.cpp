// The about screen's version line, its three addresses and its buttons' focus.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QTest>
#include <cstdio>
#include <string>

#include "app/tests/AppTestSupport.h"
#include "platform/foundation/Bundle.h"
#include "platform/ui/Window.h"
#include "screens/help/WVAboutViewController.h"
#include "screens/help/tests/UrlCatcher.h"

namespace wv::screens {
namespace {

std::string runPython(const std::string& script) {
    const std::string command = "python3 -c '" + script + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    std::string out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

class AboutScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        for (const char* scheme : {"https", "mailto"})
            QDesktopServices::setUrlHandler(scheme, &catcher_, "open");
    }
    void TearDown() override {
        for (const char* scheme : {"https", "mailto"}) QDesktopServices::unsetUrlHandler(scheme);
    }
    test::UrlCatcher catcher_;
};

TEST_F(AboutScreenTest, TheVersionLineIsTheBundlesVersionAndBuild) {
    const std::string plist = (Bundle::main().root() / "Info.plist").string();
    const std::string expected =
        runPython("import plistlib; d = plistlib.load(open(\"" + plist +
                  "\", \"rb\")); print(\"Version \" + d[\"CFBundleShortVersionString\"] + \" (\" + "
                  "d[\"CFBundleVersion\"] + \")\")");
    ASSERT_FALSE(expected.empty());
    WVAboutViewController about;
    about.view();
    EXPECT_EQ(about.version->stringValue(), expected);
}

TEST_F(AboutScreenTest, EachButtonOpensItsOneAddressPerPressAndTakesNoFocus) {
    auto about = std::make_shared<WVAboutViewController>();
    Window window(Rect(Point{0, 0}, WVAboutViewController::kContentSize));
    window.setContentViewController(about);
    window.makeKeyAndOrderFront();
    const struct {
        Button* button;
        const char* address;
    } buttons[] = {{about->btnFB, "https://www.facebook.com/wovanutyping"},
                   {about->btnBalvik, "https://balvik.com/wovanutyping"},
                   {about->btnMail, "mailto:feedback@wovanu.com"}};
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.address);
        catcher_.opened.clear();
        QTest::mouseClick(b.button, Qt::LeftButton, {}, QPoint(22, 22));
        EXPECT_EQ(catcher_.opened, std::vector<std::string>{b.address});
        EXPECT_EQ(b.button->toolTip().toStdString(), b.address);
        EXPECT_EQ(b.button->focusPolicy(), Qt::NoFocus) << "no focus ring, clicked or tabbed";
        EXPECT_FALSE(b.button->hasFocus());
    }
}

}  // namespace
}  // namespace wv::screens
