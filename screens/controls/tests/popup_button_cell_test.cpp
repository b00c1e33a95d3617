#include <gtest/gtest.h>

#include "platform/ui/Layer.h"
#include "platform/ui/PopUpButton.h"
#include "screens/controls/WVPopupButtonCell.h"
#include "screens/controls/tests/ControlsTestSupport.h"

namespace wv {
namespace {

class PopupButtonCellTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
};

struct GeometryCase {
    const char* name;
    Rect frame;
    std::optional<Size> image;
    Rect imageRect;
    Rect titleRect;
    std::array<Point, 3> arrow;
};

TEST_F(PopupButtonCellTest, PictureTitleAndArrowGeometry) {
    const GeometryCase cases[] = {
        {"no picture",
         Rect(0, 0, 120, 24),
         std::nullopt,
         Rect(),
         Rect(1, 0, 111, 24),
         {Point{116, 10}, Point{120, 10}, Point{118, 14}}},
        {"a 16-point flag",
         Rect(0, 0, 120, 24),
         Size{16, 12},
         Rect(20, 5, 16, 12),
         Rect(27, 0, 85, 24),
         {Point{116, 10}, Point{120, 10}, Point{118, 14}}},
        {"taller, further right",
         Rect(10, 0, 150, 30),
         Size{20, 14},
         Rect(30, 7, 20, 14),
         Rect(31, 0, 111, 30),
         {Point{156, 13}, Point{160, 13}, Point{158, 17}}},
    };
    for (const GeometryCase& c : cases) {
        PopUpButton button(Rect(0, 0, c.frame.maxX(), c.frame.height()));
        WVPopupButtonCell cell;
        if (c.image) cell.customImage = test::solidImage(Qt::red, *c.image);
        EXPECT_EQ(cell.customImageRect(c.frame), c.imageRect) << c.name;
        EXPECT_EQ(cell.titleDrawingRect(c.frame, button), c.titleRect) << c.name;
        EXPECT_EQ(cell.arrowPoints(c.frame), c.arrow) << c.name;
    }
}

TEST_F(PopupButtonCellTest, DrawsTheFlagAndAWhiteArrowInsteadOfTheItemPicture) {
    PopUpButton button(Rect(0, 0, 120, 24));
    button.layer()->setBackgroundColor(Color::black());
    button.addItemsWithTitles({"EN", "DE"});
    auto cell = std::make_unique<WVPopupButtonCell>();
    cell->customImage = test::solidImage(Qt::blue, Size{16, 12});
    button.setCell(std::move(cell));
    button.setImage(test::solidImage(Qt::green));  // the item's own picture is not drawn
    const QImage image = button.snapshot();
    EXPECT_TRUE(test::near(image.pixelColor(28, 11), Qt::blue));    // the flag at 20..36, 5..17
    EXPECT_TRUE(test::near(image.pixelColor(118, 11), Qt::white));  // the arrow, 10..14 down
    EXPECT_TRUE(test::near(image.pixelColor(118, 16), Qt::black));
    EXPECT_TRUE(test::near(image.pixelColor(5, 20), Qt::black)) << "no item picture";
}

}  // namespace
}  // namespace wv
