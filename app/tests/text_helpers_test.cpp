#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <thread>

#include "app/DebugLines.h"
#include "app/TextHelpers.h"
#include "app/WVAnimation.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/ThreadName.h"
#include "platform/foundation/Log.h"
#include "platform/ui/TextMeasurer.h"

namespace wv {
namespace {

// Measures every text as the test says, and remembers the font it was asked about.
class FixedMeasurer : public TextMeasurer {
public:
    FixedMeasurer(Size size) : size_(size) {}
    Size size(const AttributedString& text) const override {
        lastFont = text.attributesAtStart().font;
        return size_;
    }
    Rect usedRect(const AttributedString&, Size) const override { return Rect(0, 0, size_.width, size_.height); }
    mutable std::optional<Font> lastFont;

private:
    Size size_;
};

TEST(FitFontToWidth, TheTighterDirectionSetsTheSize) {
    struct Case {
        double width, height;
        Size text;
        double expected;
    };
    const Case cases[] = {
        {110, 40, {200, 15}, 6.0},    // width limits: 100 / 200
        {1010, 40, {200, 15}, 24.0},  // height limits: 30 / 15
        {210, 25, {200, 15}, 12.0},   // both exactly 1
    };
    for (const Case& c : cases) {
        auto measurer = std::make_shared<FixedMeasurer>(c.text);
        ScopedTextMeasurer scoped(measurer);
        const Font given{"DejaVu Serif", 31, FontWeight::Bold, true};
        const Font fitted = fitFontToWidth(c.width, c.height, "some line", given);
        EXPECT_DOUBLE_EQ(fitted.pointSize, c.expected) << c.width << "x" << c.height;
        EXPECT_TRUE(fitted.sameDescriptor(given));
        ASSERT_TRUE(measurer->lastFont);
        EXPECT_DOUBLE_EQ(measurer->lastFont->pointSize, 12.0) << "measured at the reference size";
    }
}

TEST(FitFontToWidth, ScaleIsHeldInSinglePrecision) {
    ScopedTextMeasurer scoped(std::make_shared<FixedMeasurer>(Size{300, 15}));
    const Font fitted = fitFontToWidth(110, 400, "x", Font::system());
    EXPECT_DOUBLE_EQ(fitted.pointSize, 12.0 * double(float(100.0 / 300.0)));
}

TEST(FitFontToWidth, RealTextFitsItsBox) {
    static int argc = 1;
    static char name[] = "wv_app_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);  // fonts need one; kept for the process
    (void)app;
    const std::string text = "the quick brown fox jumps over the lazy dog";
    const Font fitted = fitFontToWidth(400, 60, text, Font::system(40));
    TextAttributes a;
    a.font = fitted;
    const Size size = TextMeasurer::current().size(AttributedString(text, a));
    EXPECT_LE(size.width, 391.0);
    EXPECT_GE(size.width, 370.0) << "close to the box, not far below it";
}

TEST(AttributedHelpers, MakeAndWhiteTextWithLineSpacing) {
    const Font font = Font::system(14, FontWeight::Medium);
    const AttributedString s = makeAttributedString("Enter", TextAlignment::Center, font, Color::rgb255(74, 144, 226));
    ASSERT_EQ(s.runs().size(), 1u);
    const TextAttributes& a = s.runs()[0].attributes;
    EXPECT_EQ(a.font, font);
    EXPECT_EQ(a.foreground, Color::rgb255(74, 144, 226));
    EXPECT_EQ(a.paragraph->alignment, TextAlignment::Center);

    AttributedString two;
    two.append("tip ", {.font = font});
    two.append("text", {.kern = 1.5});
    const AttributedString white = whiteTextWithLineSpacing(two);
    ASSERT_EQ(white.runs().size(), 2u);
    for (const auto& run : white.runs()) {
        EXPECT_EQ(run.attributes.foreground, Color::white());
        EXPECT_DOUBLE_EQ(run.attributes.paragraph->lineSpacing, 6.0);
    }
    EXPECT_EQ(white.runs()[0].attributes.font, font) << "other attributes stay";
    EXPECT_EQ(white.runs()[1].attributes.kern, 1.5);
    EXPECT_FALSE(two.runs()[0].attributes.foreground.has_value()) << "the receiver is not changed";
    EXPECT_EQ(white.string(), "tip text");
}

TEST(AttributedHelpers, UsedTextRectComesFromTheMeasurer) {
    ScopedTextMeasurer scoped(std::make_shared<FixedMeasurer>(Size{42, 17}));
    EXPECT_EQ(usedTextRect(AttributedString("x"), 100, 100), Rect(0, 0, 42, 17));
}

TEST(WVAnimation, CompletionHandlerReportsFinished) {
    std::optional<bool> got;
    WVAnimation::completionHandler([&](bool finished) { got = finished; });
    EXPECT_EQ(got, std::optional<bool>(true));
    WVAnimation::completionHandler({});  // no completion: nothing to call
}

TEST(DebugLines, FirstLineShowsZeroSecondsAndLaterOnesCount) {
    ManualRunLoop loop;
    LogCapture capture;
    logDoOnNext("rec-1");
    loop.advance(6.6);
    logSubscribeOnNext("rec-2");
    loop.advance(100);
    EXPECT_EQ(secondsSinceFirstLog(), "107");
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "00s | [Do onNext] rec-1 received on Main Thread");
    EXPECT_EQ(lines[1], "07s | [Subscribe onNext] rec-2 received on Main Thread");
}

TEST(DebugLines, ThreadNames) {
    std::string unnamed, empty, named;
    std::thread([&] { unnamed = currentThreadName(); }).join();
    std::thread([&] {
        setCurrentThreadName("");
        empty = currentThreadName();
    }).join();
    std::thread([&] {
        setCurrentThreadName("com.wovanu.cloud");
        named = currentThreadName();
    }).join();
    EXPECT_EQ(unnamed, "Unknown Thread");
    EXPECT_EQ(empty, "Anonymous Thread");
    EXPECT_EQ(named, "com.wovanu.cloud");
    EXPECT_EQ(currentThreadName(), "Main Thread");
}

}  // namespace
}  // namespace wv
