#include <gtest/gtest.h>

#include <QMouseEvent>
#include <string>
#include <vector>

#include "platform/ui/View.h"
#include "screens/controls/WVModeSwitcher.h"
#include "screens/controls/tests/ControlsTestSupport.h"

namespace wv {
namespace {

class ModeSwitcherTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
    ScopedTextMeasurer measurer{std::make_shared<test::CharacterWidthMeasurer>()};
};

struct LayoutCase {
    const char* name;
    double width;
    std::vector<std::string> titles;
    double padding;
    std::vector<double> labelX;
    std::vector<Rect> highlights;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class ModeSwitcherLayout : public ModeSwitcherTest,
                           public ::testing::WithParamInterface<LayoutCase> {};

// Labels are 7 points a character and 14 high, the control 26 high: every label sits
// nearest((26 - 14) / 2.5) = 5 points from the top.
TEST_P(ModeSwitcherLayout, SegmentsAreTheirLabelsWithThePaddingOnBothSides) {
    const LayoutCase& c = GetParam();
    WVModeSwitcher control(Rect(0, 0, c.width, 26));
    control.setTitles(c.titles);
    ASSERT_TRUE(control.isInitialized);
    EXPECT_DOUBLE_EQ(control.labelPadding, c.padding);
    ASSERT_EQ(control.labelRects.size(), c.titles.size());
    for (size_t i = 0; i < c.titles.size(); ++i) {
        EXPECT_DOUBLE_EQ(control.labelRects[i].x(), c.labelX[i]) << i;
        EXPECT_DOUBLE_EQ(control.labelRects[i].y(), 5) << i;
        EXPECT_DOUBLE_EQ(control.labelRects[i].width(), 7.0 * double(c.titles[i].size())) << i;
        EXPECT_DOUBLE_EQ(control.labelRects[i].height(), 14) << i;
    }
    ASSERT_TRUE(control.imageRects);
    EXPECT_EQ(*control.imageRects, c.highlights);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModeSwitcherLayout,
    ::testing::Values(
        // 63 + 42 = 105 of 280: gap (280 - 105) / 4 = 43.75, padding 44; the highlights
        // touch and span the width to within a point.
        LayoutCase{"spare width",
                   280,
                   {"Automatic", "Manual"},
                   44,
                   {44, 195},
                   {Rect(0, 0, 151, 26), Rect(151, 0, 130, 26)}},
        // 140 of 160: gap 5 < 7, so the padding stays 7 and the highlights reach past 160.
        LayoutCase{"too long for the width",
                   160,
                   {"Automatisc", "Handbetrie"},
                   7,
                   {7, 91},
                   {Rect(0, 0, 84, 26), Rect(84, 0, 84, 26)}},
        // A label wider than its share (210 > 150) with room to spare: the labels are set the
        // unrounded gap apart, (300 - 217) / 4 = 20.75.
        LayoutCase{"wider than its share",
                   300,
                   {std::string(30, 'a'), "b"},
                   21,
                   {20.75, 251.5},
                   {Rect(0, 0, 252, 26), Rect(252, 0, 49, 26)}},
        // Wider than its share and no room: the measured places stay, each label centred in
        // its share (the first from 0, as it overflows it).
        LayoutCase{"no room at all",
                   230,
                   {std::string(30, 'a'), "b"},
                   7,
                   {0, 169},
                   {Rect(0, 0, 224, 26), Rect(224, 0, 21, 26)}},
        // 77 of 300 over six label sides: gap 37.17, padding 37.
        LayoutCase{"three segments",
                   300,
                   {"one", "two", "three"},
                   37,
                   {37, 132, 227},
                   {Rect(0, 0, 95, 26), Rect(95, 0, 95, 26), Rect(190, 0, 109, 26)}}));

TEST_F(ModeSwitcherTest, LabelsTakeTheAttributesSetBeforeTheTitles) {
    WVModeSwitcher control(Rect(0, 0, 200, 26));
    TextAttributes black, white;
    black.foreground = Color::black();
    white.foreground = Color::white();
    control.selectedTextAttr = black;
    control.deselectedTextAttr = white;
    control.setTitles({"Automatic", "Manual"});
    ASSERT_EQ(control.titleLabels.size(), 2u);
    const TextAttributes first = control.titleLabels[0].attributesAtStart();
    EXPECT_EQ(first.foreground, Color::white());
    ASSERT_TRUE(first.paragraph);
    EXPECT_EQ(first.paragraph->alignment, TextAlignment::Center);
    const TextAttributes selected = control.selectedTitleLabels[1].attributesAtStart();
    EXPECT_EQ(selected.foreground, Color::black());
    EXPECT_FALSE(selected.paragraph) << "the selected label drops the centring";
    EXPECT_EQ(control.selectedTitleLabels[1].string(), "Manual");

    control.selectedTextAttr = white;  // no effect until the next setTitles
    EXPECT_EQ(control.selectedTitleLabels[1].attributesAtStart().foreground, Color::black());
}

TEST_F(ModeSwitcherTest, SelectingByTitleMatchesCanonicalFormsAndIgnoresUnknownTitles) {
    WVModeSwitcher control(Rect(0, 0, 200, 26));
    control.setTitles({"Automatique", "Manu\xC3\xA9l"});  // "Manuél", é precomposed
    control.setNeedsDisplay(false);
    control.selectSegmentWithTitle("Rapide");
    EXPECT_EQ(control.selectedSegment, 0);
    EXPECT_FALSE(control.needsDisplay());
    int actions = 0;
    control.action = [&](Control&) { ++actions; };
    control.selectSegmentWithTitle("Manue\xCC\x81l");  // e and a combining acute accent
    EXPECT_EQ(control.selectedSegment, 1);
    EXPECT_TRUE(control.needsDisplay());
    EXPECT_EQ(actions, 0);
}

// A press and release at a point of the switch, in its own (flipped) coordinates.
void click(WVModeSwitcher& control, QPointF at) {
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, control.mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&control, &event);
    }
}

TEST_F(ModeSwitcherTest, AClickOnASegmentSelectsItAndActsEvenWhenItWasSelected) {
    View root(Rect(0, 0, 400, 60));
    auto* control = new WVModeSwitcher(Rect(0, 20, 280, 26));
    root.addSubview(control);
    control->setTitles({"Automatic", "Manual"});
    std::vector<int> actions;
    control->action = [&](Control& sender) {
        actions.push_back(static_cast<WVModeSwitcher&>(sender).selectedSegment);
    };
    click(*control, QPointF(200, 13));
    click(*control, QPointF(200, 13));
    click(*control, QPointF(20, 13));
    EXPECT_EQ(actions, (std::vector<int>{1, 1, 0}));
    // Beyond the last highlight (which ends at 281) but within the superview: nothing.
    control->setFrame(Rect(0, 20, 320, 26));
    click(*control, QPointF(300, 13));
    EXPECT_EQ(actions.size(), 3u);
    EXPECT_EQ(control->selectedSegment, 0);
}

TEST_F(ModeSwitcherTest, WithoutTitlesItDrawsNothingAndIgnoresClicks) {
    View root(Rect(0, 0, 300, 60));
    auto* control = new WVModeSwitcher(Rect(0, 0, 280, 26));
    root.addSubview(control);
    control->deselectedImage = test::solidImage(Qt::red);
    int actions = 0;
    control->action = [&](Control&) { ++actions; };
    for (const std::vector<std::string>& titles :
         {std::vector<std::string>{}, std::vector<std::string>{"a", "b"}}) {
        if (!titles.empty()) {
            control->setTitles(titles);
            control->setTitles({});  // set once, then taken away again
        }
        EXPECT_FALSE(control->isInitialized);
        click(*control, QPointF(20, 13));
        EXPECT_EQ(actions, 0);
        const QImage image = control->snapshot();
        EXPECT_EQ(image.pixelColor(100, 13).alpha(), 0) << "nothing drawn";
    }
}

TEST_F(ModeSwitcherTest, DrawsTheBodyThenTheSelectedSegmentsHighlight) {
    WVModeSwitcher control(Rect(0, 0, 280, 26));
    control.deselectedImage = test::solidImage(Qt::gray);
    control.selectedImages =
        std::vector<ImagePtr>{test::solidImage(Qt::green), test::solidImage(Qt::red)};
    control.setTitles({"Automatic", "Manual"});
    for (int segment : {0, 1}) {
        control.selectedSegment = segment;
        const QImage image = control.snapshot();
        // Highlights: 0..151 and 151..281; probe below the labels.
        EXPECT_TRUE(test::near(image.pixelColor(10, 24), segment == 0 ? Qt::green : Qt::gray));
        EXPECT_TRUE(test::near(image.pixelColor(270, 24), segment == 1 ? Qt::red : Qt::gray));
    }
    control.selectedSegment = 2;  // no image of its own: only the body
    EXPECT_TRUE(test::near(control.snapshot().pixelColor(10, 24), Qt::gray));
}

}  // namespace
}  // namespace wv
