#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <memory>

#include "app/UIScale.h"
#include "app/WVArrowCell.h"
#include "app/WVCapsButtonCell.h"
#include "app/WVEnterButtonCell.h"
#include "app/WVKeyboardCentralCell.h"
#include "app/WVModifierButton.h"
#include "app/WVModifierButtonCell.h"
#include "app/WVNextButtonCell.h"
#include "app/tests/AppTestSupport.h"
#include "app/tests/FixedTextMeasurer.h"
#include "platform/ui/TextField.h"

namespace wv {
namespace {

struct Canvas {
    QImage image{200, 200, QImage::Format_ARGB32_Premultiplied};
    QPainter painter{&image};
};

void expectRect(const Rect& actual, const Rect& expected) {
    EXPECT_DOUBLE_EQ(actual.x(), expected.x());
    EXPECT_DOUBLE_EQ(actual.y(), expected.y());
    EXPECT_DOUBLE_EQ(actual.width(), expected.width());
    EXPECT_DOUBLE_EQ(actual.height(), expected.height());
}

TEST(UIScaleFactor, SmallerOfTheTwoRatiosToTheReferenceWindow) {
    test::application();
    EXPECT_DOUBLE_EQ(uiScaleFactor(), 1.0) << "no window";
    struct Case {
        double width, height, scale;
    };
    for (const Case& c : {Case{1100, 620, 1.0}, Case{2200, 620, 1.0}, Case{1100, 1240, 1.0},
                          Case{1650, 930, 1.5}, Case{825, 620, 0.75}}) {
        test::ScaleWindow window(c.width, c.height);
        EXPECT_DOUBLE_EQ(uiScaleFactor(), c.scale) << c.width << " x " << c.height;
    }
    EXPECT_DOUBLE_EQ(uiScaleFactor(), 1.0) << "the window was unset";
}

TEST(UIScaleFactor, AWindowThatWentAwayCountsAsNone) {
    test::application();
    {
        auto window = std::make_unique<Window>(Rect(0, 0, 1650, 930));
        setScaleReferenceWindow(window.get());
        EXPECT_DOUBLE_EQ(uiScaleFactor(), 1.5);
    }
    EXPECT_EQ(scaleReferenceWindow(), nullptr);
    EXPECT_DOUBLE_EQ(uiScaleFactor(), 1.0);
}

TEST(SetKerning, GivesTheTextWithLetterSpacingOnly) {
    test::application();
    TextField field;
    setKerning(field, "Settings", 1.5);
    EXPECT_EQ(field.stringValue(), "Settings");
    // The field's own attributes fill what the kerning leaves open; the kern is the one given.
    EXPECT_EQ(field.attributedStringValue().runs()[0].attributes.kern, 1.5);
}

TEST(ModifierCell, TitleLowerCasedAtTheBottomLeadingCorner) {
    test::application();
    ScopedTextMeasurer measurer(std::make_shared<test::FixedTextMeasurer>(Rect(0, 0, 20, 11)));
    WVModifierButton button(Rect(0, 0, 61, 49));
    button.setTitle("Shift");
    auto& cell = static_cast<WVModifierButtonCell&>(button.cell());
    Canvas canvas;
    const Rect r =
        cell.drawTitle(canvas.painter, button.attributedTitle(), button.bounds(), button);
    expectRect(r, Rect(6, 49 - 6 - 11, 61 - 12, 11));
    auto* m =
        static_cast<test::FixedTextMeasurer*>(const_cast<TextMeasurer*>(&TextMeasurer::current()));
    ASSERT_TRUE(m->last);
    EXPECT_EQ(m->last->string(), "shift");
    EXPECT_EQ(m->last->runs()[0].attributes.font->pointSize, 9.0);
    EXPECT_EQ(m->last->runs()[0].attributes.font->weight, FontWeight::Light);
}

TEST(ModifierCell, LabelScalesWithTheInterfaceButTheBottomOffsetDoesNot) {
    test::application();
    test::ScaleWindow window(1650, 930);
    ScopedTextMeasurer measurer(std::make_shared<test::FixedTextMeasurer>(Rect(0, 0, 20, 16)));
    WVModifierButton button(Rect(0, 0, 90, 74));
    button.setTitle("option");
    auto& cell = static_cast<WVModifierButtonCell&>(button.cell());
    Canvas canvas;
    expectRect(cell.drawTitle(canvas.painter, button.attributedTitle(), button.bounds(), button),
               Rect(9, 74 - 6 - 16, 90 - 18, 16));
}

TEST(ModifierCell, EmptyTitleDrawsNothingAndReturnsTheFrame) {
    test::application();
    WVModifierButton button(Rect(0, 0, 40, 40));
    auto& cell = static_cast<WVModifierButtonCell&>(button.cell());
    Canvas canvas;
    const Rect frame(3, 4, 30, 20);
    expectRect(cell.drawTitle(canvas.painter, AttributedString(), frame, button), frame);
}

TEST(EnterAndCapsCells, MarkGoesAtTheTopOfTheTitleColumn) {
    test::application();
    ScopedTextMeasurer measurer(std::make_shared<test::FixedTextMeasurer>(Rect(0, 0, 20, 11)));
    Canvas canvas;
    {
        WVModifierButton button(Rect(0, 0, 61, 101), std::make_unique<WVEnterButtonCell>());
        button.setTitle("return");
        expectRect(button.cell().drawTitle(canvas.painter, button.attributedTitle(),
                                           button.bounds(), button),
                   Rect(6, 6, 49, 11));
    }
    {
        WVModifierButton button(Rect(0, 0, 87, 49), std::make_unique<WVCapsButtonCell>());
        button.setTitle("caps lock");
        expectRect(button.cell().drawTitle(canvas.painter, button.attributedTitle(),
                                           button.bounds(), button),
                   Rect(6, 6, 75, 11));
    }
    {
        // Without a title the mark is placed from the full title frame.
        WVModifierButton button(Rect(0, 0, 61, 101), std::make_unique<WVEnterButtonCell>());
        const Rect frame(0, 0, 61, 101);
        expectRect(button.cell().drawTitle(canvas.painter, AttributedString(), frame, button),
                   Rect(0, 6, 61, 101));
    }
}

TEST(ArrowCell, TrianglesAtScaleOneInA40PointKey) {
    struct Case {
        const char* direction;
        std::array<Point, 3> points;
    };
    const Case cases[] = {
        {"up", {{{17.5, 22.5}, {21.5, 22.5}, {19.5, 17.5}}}},
        {"down", {{{17.5, 17.5}, {21.5, 17.5}, {19.5, 22.5}}}},
        {"left", {{{22.5, 17.5}, {22.5, 21.5}, {17.5, 19.5}}}},
        {"right", {{{17.5, 17.5}, {17.5, 21.5}, {22.5, 19.5}}}},
    };
    for (const Case& c : cases) {
        WVArrowCell cell;
        cell.direction = c.direction;
        auto t = cell.triangle(Size{40, 40}, 1.0);
        ASSERT_TRUE(t) << c.direction;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ((*t)[i], c.points[i]) << c.direction << " vertex " << i;
    }
    WVArrowCell none;
    EXPECT_FALSE(none.triangle(Size{40, 40}, 1.0));
    none.direction = "sideways";
    EXPECT_FALSE(none.triangle(Size{40, 40}, 1.0));
}

TEST(ArrowCell, DirectionNamesAreExact) {
    EXPECT_EQ(lineDirenctionFromRawValue("left"), lineDirenction::left);
    EXPECT_EQ(lineDirenctionFromRawValue("down"), lineDirenction::down);
    EXPECT_FALSE(lineDirenctionFromRawValue("Left"));
    EXPECT_FALSE(lineDirenctionFromRawValue(""));
}

TEST(ArrowCell, DrawsAWhiteTriangleInTheMiddle) {
    test::application();
    WVModifierButton button(Rect(0, 0, 40, 40), std::make_unique<WVArrowCell>());
    static_cast<WVArrowCell&>(button.cell()).direction = "up";
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    button.cell().drawWithFrame(painter, button.bounds(), button);
    painter.end();
    EXPECT_GT(qGray(image.pixel(19, 21)), 200) << "inside the triangle";
    EXPECT_EQ(qGray(image.pixel(5, 5)), 0) << "outside";
}

TEST(CentralCell, HomeRowBarIsCentredThreePointsUnderTheTitle) {
    expectRect(WVKeyboardCentralCell::barRect(Rect(7, 10, 20, 15), 48), Rect(19, 28, 10, 2));
    // Whatever the title frame's x.
    expectRect(WVKeyboardCentralCell::barRect(Rect(0, 10, 48, 15), 48), Rect(19, 28, 10, 2));
}

TEST(NextButtonCell, ArrowAtTheRightEdgeAndTitleBeforeIt) {
    expectRect(WVNextButtonCell::arrowRect(Size{200, 41}), Rect(182, 10, 13, 21));
    expectRect(WVNextButtonCell::titleRect(Size{200, 41}), Rect(0, 7, 165, 41));
}

}  // namespace
}  // namespace wv
