#include <gtest/gtest.h>

#include "platform/ui/Layer.h"
#include "screens/statistics/WVDiagrammView.h"
#include "screens/statistics/WVStatisticsView.h"
#include "screens/statistics/WVStatisticsViewController.h"
#include "screens/statistics/tests/StatisticsTestSupport.h"

namespace wv::screens {
namespace {

class ChartFrameTest : public ::testing::Test {
  protected:
    void SetUp() override { test::statisticsApplication(); }
};

// The scale's top is the next multiple of 50 above the highest speed; the captions show it
// and its half, the diagram gets it, and the controller keeps what it was handed.
TEST_F(ChartFrameTest, ScaleAndCaptions) {
    struct Case {
        int speed;
        int middle, top;
    };
    for (const Case& c :
         {Case{0, 25, 50}, Case{49, 25, 50}, Case{50, 50, 100}, Case{59, 50, 100},
          Case{149, 75, 150}, Case{150, 100, 200}, Case{175, 100, 200}, Case{-70, 25, 50}}) {
        WVStatisticsViewController controller;
        auto* frame = new WVStatisticsView(Rect(0, 0, 800, 300));
        controller.setView(frame);
        WVDiagrammView diagram(Rect(0, 0, 100, 300));
        controller.diagrammView = &diagram;
        controller.setMaxSpeed(c.speed);
        EXPECT_EQ(frame->midSpeedTitleValue, c.middle) << c.speed;
        EXPECT_EQ(frame->maxSpeedTitleValue, c.top) << c.speed;
        EXPECT_EQ(diagram.maxSpeed, c.top) << c.speed;
        EXPECT_EQ(controller.maxSpeed(), c.speed);
    }
    WVStatisticsViewController alone;  // no frame view, no diagram: only the value is kept
    alone.setMaxSpeed(120);
    EXPECT_EQ(alone.maxSpeed(), 120);
}

TEST_F(ChartFrameTest, GuideLinesAndCaptionPlaces) {
    struct Case {
        Size size;
        double middle, upper, end;
        Rect middleCaption, upperCaption;
    };
    const Case cases[] = {
        {{800, 300}, 150, 270, 744, Rect(744, 143.5, 56, 13), Rect(744, 263.5, 56, 13)},
        {{800, 301}, 151, 271, 744, Rect(744, 144.5, 56, 13), Rect(744, 264.5, 56, 13)},
        {{600, 230}, 115, 200, 544, Rect(544, 108.5, 56, 13), Rect(544, 193.5, 56, 13)},
    };
    for (const Case& c : cases) {
        WVStatisticsView view(Rect(Point{0, 0}, c.size));
        EXPECT_EQ(view.middleLineY(), c.middle) << c.size.height;
        EXPECT_EQ(view.upperLineY(), c.upper);
        EXPECT_EQ(view.lineEndX(), c.end);
        EXPECT_EQ(view.middleCaptionRect(), c.middleCaption);
        EXPECT_EQ(view.upperCaptionRect(), c.upperCaption);
    }
}

// Probes of the drawn frame: grey dashes on the two lines, nothing between them, nothing
// right of their end but the white captions.
TEST_F(ChartFrameTest, DrawnLinesAndCaptions) {
    WVStatisticsView view(Rect(0, 0, 800, 300));
    view.layer()->setBackgroundColor(Color::black());
    view.midSpeedTitleValue = 100;
    view.maxSpeedTitleValue = 200;
    const QImage picture = view.snapshot(2.0);
    auto greyAt = [&](double y) {
        int grey = 0;
        const int row = int((300 - y) * 2);
        for (int x = 0; x < 744 * 2; ++x) {
            const QColor c = picture.pixelColor(x, row);
            if (c.red() > 40 && std::abs(c.red() - c.blue()) < 8) ++grey;
        }
        return grey;
    };
    EXPECT_GT(greyAt(150), 744) << "dashes cover about two thirds of the middle line";
    EXPECT_LT(greyAt(150), 744 * 2);
    EXPECT_GT(greyAt(270), 744);
    EXPECT_EQ(greyAt(210), 0);
    auto whiteIn = [&](const Rect& r) {
        int white = 0;
        for (int y = int((300 - r.maxY()) * 2); y < int((300 - r.minY()) * 2); ++y)
            for (int x = int(r.minX() * 2); x < int(r.maxX() * 2); ++x)
                if (picture.pixelColor(x, y).lightness() > 200) ++white;
        return white;
    };
    EXPECT_GT(whiteIn(view.middleCaptionRect()), 20);
    EXPECT_GT(whiteIn(view.upperCaptionRect()), 20);
    EXPECT_EQ(whiteIn(Rect(744, 20, 56, 100)), 0);
}

}  // namespace
}  // namespace wv::screens
