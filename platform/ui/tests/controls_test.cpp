#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "platform/dispatch/ManualRunLoop.h"
#include "platform/ui/Button.h"
#include "platform/ui/GradientLayer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/MenuItem.h"
#include "platform/ui/PopUpButton.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "platform/ui/tests/OpenMenu.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

bool near(QColor a, QColor b, int tolerance = 6) {
    return std::abs(a.red() - b.red()) < tolerance && std::abs(a.green() - b.green()) < tolerance &&
           std::abs(a.blue() - b.blue()) < tolerance;
}

// A picture whose top half is red and bottom half blue, to see which way up it lands.
ImagePtr topRedBottomBlue() {
    return std::make_shared<Image>(Size{10, 10}, [](QPainter& p, Size s) {
        p.fillRect(QRectF(0, 0, s.width, s.height / 2), Qt::red);
        p.fillRect(QRectF(0, s.height / 2, s.width, s.height / 2), Qt::blue);
    });
}

ImagePtr solid(QColor color) {
    return std::make_shared<Image>(Size{10, 10}, [color](QPainter& p, Size s) {
        p.fillRect(QRectF(0, 0, s.width, s.height), color);
    });
}

class ControlsTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
    ManualRunLoop loop;
};

TEST_F(ControlsTest, PicturesStayUprightInUpwardAndFlippedViews) {
    for (bool flipped : {false, true}) {
        View root(Rect(0, 0, 40, 40));
        root.setFlipped(flipped);
        auto* view = new ImageView(Rect(0, 0, 40, 40), topRedBottomBlue());
        view->setImageScaling(ImageScaling::AxesIndependently);
        view->setFlipped(flipped);
        root.addSubview(view);
        const QImage image = root.snapshot();
        EXPECT_TRUE(near(image.pixelColor(20, 5), Qt::red)) << flipped;
        EXPECT_TRUE(near(image.pixelColor(20, 35), Qt::blue)) << flipped;
    }
}

// A picture of 10 x 10 with nothing but a white 2 x 2 square whose top left corner is at
// (x, 1), y downward.
ImagePtr squareAt(double x) {
    return std::make_shared<Image>(Size{10, 10}, [x](QPainter& p, Size s) {
        p.fillRect(QRectF(x * s.width / 10, s.height / 10, s.width / 5, s.height / 5), Qt::white);
    });
}

TEST_F(ControlsTest, APictureKnowsWhereItHasPixels) {
    struct Case {
        const char* name;
        ImagePtr image;
        Rect bounds;
    };
    const Case cases[] = {
        {"a square", squareAt(3), Rect(3, 1, 2, 2)},
        {"filled", solid(Qt::red), Rect(0, 0, 10, 10)},
        {"nothing drawn", std::make_shared<Image>(Size{10, 10}, [](QPainter&, Size) {}), Rect()},
        {"made from pixels", std::make_shared<Image>(QImage(20, 10, QImage::Format_ARGB32), 2.0),
         Rect(0, 0, 10, 5)},
    };
    for (const Case& c : cases) {
        const Rect bounds = c.image->drawnBounds();
        EXPECT_EQ(bounds.isEmpty(), c.bounds.isEmpty()) << c.name;
        if (!c.bounds.isEmpty()) EXPECT_EQ(bounds, c.bounds) << c.name;
    }
}

TEST_F(ControlsTest, APictureRegisteredLikeAnotherTakesItsOutlineFromTheOriginal) {
    std::vector<Size> asked;
    const ImagePtr original = squareAt(3);
    Image::registerNamedLike("squareLike", original, [&asked, original](QPainter& p, Size s) {
        asked.push_back(s);
        original->draw(p, QRectF(0, 0, s.width, s.height));
    });
    const ImagePtr like = Image::named("squareLike");
    ASSERT_TRUE(like);
    EXPECT_EQ(like->size(), original->size());
    EXPECT_FALSE(like->knowsDrawnBounds());
    EXPECT_EQ(like->drawnBounds(), Rect(3, 1, 2, 2));
    EXPECT_TRUE(like->knowsDrawnBounds());
    EXPECT_TRUE(original->knowsDrawnBounds());
    EXPECT_TRUE(asked.empty()) << "the outline was drawn through the picture made like it";
    like->render(2.0);  // and it still draws its own way
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], original->size());
}

// Where one widget's paint events fall.
class PaintedRegion : public QObject {
  public:
    explicit PaintedRegion(QWidget* widget) { widget->installEventFilter(this); }
    QRegion region;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) region += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

TEST_F(ControlsTest, ASwappedPictureIsDrawnAgainOnlyWhereEitherHasPixels) {
    for (bool flipped : {false, true}) {
        View root(Rect(0, 0, 200, 200));
        root.setFlipped(flipped);
        auto* view = new ImageView(Rect(0, 0, 200, 200), squareAt(1));
        view->setImageScaling(ImageScaling::AxesIndependently);
        view->setFlipped(flipped);
        root.addSubview(view);
        root.show();
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();

        PaintedRegion painted(view);
        view->setImage(squareAt(7));
        QCoreApplication::processEvents();
        // Pictures stand upright in either view: both squares are near the top.
        EXPECT_TRUE(painted.region.contains(QRect(20, 20, 40, 40))) << "the old square";
        EXPECT_TRUE(painted.region.contains(QRect(140, 20, 40, 40))) << "the new square";
        EXPECT_FALSE(painted.region.intersects(QRect(0, 100, 200, 100)))
            << "the lower half, where neither has pixels, flipped " << flipped;

        painted.region = QRegion();
        view->setImage(view->image());
        QCoreApplication::processEvents();
        EXPECT_TRUE(painted.region.isEmpty()) << "the same picture again";
    }
}

// A picture drawn in code, counting how often it is drawn.
ImagePtr countedSquareAt(double x, int& draws) {
    return std::make_shared<Image>(Size{10, 10}, [x, &draws](QPainter& p, Size s) {
        ++draws;
        p.fillRect(QRectF(x * s.width / 10, s.height / 10, s.width / 5, s.height / 5), Qt::white);
    });
}

TEST_F(ControlsTest, TheFirstPaintDrawsAPictureWithoutFirstLookingForItsPixels) {
    int draws = 0;
    View root(Rect(0, 0, 200, 200));
    root.setFlipped(true);
    auto* view = new ImageView(Rect(0, 0, 200, 200), countedSquareAt(1, draws));
    view->setImageScaling(ImageScaling::AxesIndependently);
    view->setFlipped(true);
    root.addSubview(view);
    const QImage first = root.snapshot();
    EXPECT_TRUE(near(first.pixelColor(30, 30), Qt::white)) << "the square is drawn";
    EXPECT_EQ(draws, 1) << "drawn once, not once more at its natural size to find its pixels";
    EXPECT_FALSE(view->image()->knowsDrawnBounds());

    // Until its pixels are known a paint beside the square draws it, clipped: nothing but
    // the same pixels.
    root.show();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    draws = 0;
    view->setNeedsDisplayInRect(Rect(100, 100, 50, 50));
    QCoreApplication::processEvents();
    EXPECT_EQ(draws, 1);

    // A change of picture finds where both have pixels; then a paint beside them passes
    // the picture over.
    int newDraws = 0;
    view->setImage(countedSquareAt(7, newDraws));
    EXPECT_TRUE(view->image()->knowsDrawnBounds());
    QCoreApplication::processEvents();
    const int afterChange = newDraws;
    view->setNeedsDisplayInRect(Rect(100, 100, 50, 50));
    QCoreApplication::processEvents();
    EXPECT_EQ(newDraws, afterChange) << "nothing of the picture lies in that corner";
    EXPECT_TRUE(near(root.snapshot().pixelColor(150, 30), Qt::white)) << "the new square";
}

// A picture view tells its picture the size it will be drawn at from the moment it has a
// window, again as it is laid out anew, and no more once it has painted.
TEST_F(ControlsTest, APictureViewSaysItsSizeAheadUntilItsFirstPaint) {
    std::vector<std::pair<Size, double>> asked;
    const ImagePtr original = std::make_shared<Image>(Size{10, 20}, [](QPainter&, Size) {});
    Image::registerNamedLike("preparedProbe", original, [](QPainter&, Size) {},
                             [&asked](Size s, double scale) { asked.push_back({s, scale}); });
    auto* view = new ImageView(Rect(0, 0, 100, 100), Image::named("preparedProbe"));
    view->setImageScaling(ImageScaling::ProportionallyUpOrDown);
    view->setFrame(Rect(0, 0, 100, 60));
    EXPECT_TRUE(asked.empty()) << "not before it has a window";

    Window window(Rect(0, 0, 300, 200));
    window.contentView()->addSubview(view);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked.back().first, (Size{30, 60})) << "as scaled into the view";
    EXPECT_EQ(asked.back().second, view->devicePixelRatioF());
    view->setFrame(Rect(0, 0, 100, 80));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked.back().first, (Size{40, 80}));

    view->snapshot();
    view->setFrame(Rect(0, 0, 100, 100));
    EXPECT_EQ(asked.size(), 2u) << "painted once, it draws as it goes";
}

TEST_F(ControlsTest, MomentaryChangeShowsTheAlternateImageWhilePressed) {
    Button button(Rect(0, 0, 20, 20));
    button.setButtonType(ButtonType::MomentaryChange);
    button.setImage(solid(Qt::gray));
    button.setAlternateImage(solid(Qt::green));
    int actions = 0;
    button.action = [&](Control&) { ++actions; };
    EXPECT_TRUE(near(button.snapshot().pixelColor(10, 10), Qt::gray));
    button.performClick();
    EXPECT_EQ(actions, 1);
    EXPECT_TRUE(button.isHighlighted());
    EXPECT_TRUE(near(button.snapshot().pixelColor(10, 10), Qt::green));
    loop.advance(0.2);
    EXPECT_FALSE(button.isHighlighted());
    EXPECT_TRUE(near(button.snapshot().pixelColor(10, 10), Qt::gray));
}

TEST_F(ControlsTest, DisabledButtonDimsItsPictureUnlessToldNotTo) {
    View root(Rect(0, 0, 20, 20));
    root.layer()->setBackgroundColor(Color::black());
    auto* button = new Button(Rect(0, 0, 20, 20));
    root.addSubview(button);
    button->setImage(solid(Qt::white));
    button->setEnabled(false);
    EXPECT_NEAR(qRed(root.snapshot().pixel(10, 10)), 128, 4);
    button->setImageDimsWhenDisabled(false);
    EXPECT_EQ(qRed(root.snapshot().pixel(10, 10)), 255);
}

TEST_F(ControlsTest, ToggleShowsTheAlternateImageWhileOn) {
    Button button(Rect(0, 0, 20, 20));
    button.setButtonType(ButtonType::Toggle);
    button.setImage(solid(Qt::gray));
    button.setAlternateImage(solid(Qt::green));
    button.performClick();
    EXPECT_EQ(button.state(), 1);
    EXPECT_EQ(button.currentImage(), button.alternateImage());
    button.setState(0);
    EXPECT_EQ(button.currentImage(), button.image());
    button.setEnabled(false);
    button.performClick();
    EXPECT_EQ(button.state(), 0) << "a disabled button does not act";
}

TEST_F(ControlsTest, KeyEquivalentPressesTheButtonOnlyForItsKeyAndModifiers) {
    Button tab(Rect(0, 0, 20, 20));
    tab.setKeyEquivalent("\t");
    int actions = 0;
    tab.action = [&](Control&) { ++actions; };
    KeyEvent event;
    event.keyCode = 48;
    event.characters = "\t";
    event.modifierFlags = 0x10000;  // Caps Lock does not matter
    EXPECT_TRUE(tab.performKeyEquivalent(event));
    event.modifierFlags = 0x100008;  // with Command it is another key
    EXPECT_FALSE(tab.performKeyEquivalent(event));
    event.modifierFlags = 0;
    event.characters = "a";
    EXPECT_FALSE(tab.performKeyEquivalent(event));
    EXPECT_EQ(actions, 1);
}

// A cell that paints its whole frame and records the title rectangles it was given.
class GreenCell : public ButtonCell {
  public:
    void drawWithFrame(QPainter& painter, const Rect& frame, Button& button) override {
        painter.fillRect(QRectF(frame.x(), frame.y(), frame.width(), frame.height()), Qt::green);
        drawTitle(painter, button.attributedTitle(), Rect(3, 4, 10, 5), button);
    }
    Rect drawTitle(QPainter&, const AttributedString& title, const Rect& frame, Button&) override {
        titles.push_back(title.string());
        return frame;
    }
    std::vector<std::string> titles;
};

TEST_F(ControlsTest, SwappedCellDrawsTheButton) {
    Button button(Rect(0, 0, 30, 20));
    button.setTitle("Shift");
    auto cell = std::make_unique<GreenCell>();
    GreenCell* raw = cell.get();
    button.setCell(std::move(cell));
    const QImage image = button.snapshot();
    EXPECT_TRUE(near(image.pixelColor(15, 10), Qt::green));
    ASSERT_FALSE(raw->titles.empty());
    EXPECT_EQ(raw->titles.back(), "Shift");
}

TEST_F(ControlsTest, TextFieldFillsMissingAttributesFromItself) {
    TextField field(Rect(0, 0, 200, 30));
    field.setFont(Font::system(20, FontWeight::Bold));
    field.setTextColor(Color::white());
    field.setIntegerValue(-3);
    EXPECT_EQ(field.stringValue(), "-3");
    EXPECT_EQ(field.integerValue(), -3);
    AttributedString kerned("TYPING", TextAttributes{.kern = 2.0});
    field.setAttributedStringValue(kerned);
    const AttributedString shown = field.attributedStringValue();
    ASSERT_EQ(shown.runs().size(), 1u);
    EXPECT_EQ(shown.runs()[0].attributes.kern, 2.0);
    EXPECT_EQ(shown.runs()[0].attributes.font, Font::system(20, FontWeight::Bold));
    EXPECT_EQ(shown.runs()[0].attributes.foreground, Color::white());

    field.setBackgroundColor(Color::black());
    const QImage image = field.snapshot();
    int bright = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) bright += qRed(image.pixel(x, y)) > 200;
    EXPECT_GT(bright, 30) << "white letters on black";
}

TEST_F(ControlsTest, RunBackgroundIsFilledBehindItsCharactersOnly) {
    TextField field(Rect(0, 0, 200, 40));
    field.setBackgroundColor(Color::black());
    AttributedString text;
    text.append("ab", TextAttributes{.font = Font::system(24), .foreground = Color::white()});
    text.append("cd", TextAttributes{.font = Font::system(24),
                                     .foreground = Color::white(),
                                     .background = Color::rgb255(74, 144, 226)});
    field.setAttributedStringValue(text);
    const QImage image = field.snapshot();
    int blueLeft = 0, blueRight = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (near(image.pixelColor(x, y), QColor(74, 144, 226), 10))
                (x < 24 ? blueLeft : blueRight)++;
    EXPECT_EQ(blueLeft, 0) << "nothing behind the first run";
    EXPECT_GT(blueRight, 100) << "blue behind the second";
}

TEST_F(ControlsTest, PopUpButtonSelectsByTitleAndShowsTheSelection) {
    PopUpButton popup(Rect(0, 0, 100, 24));
    popup.addItemsWithTitles({"QWERTY", "DVORAK", "COLEMAK"});
    EXPECT_EQ(popup.indexOfSelectedItem(), 0);
    popup.selectItemWithTitle("COLEMAK");
    EXPECT_EQ(popup.indexOfSelectedItem(), 2);
    EXPECT_EQ(popup.titleOfSelectedItem(), "COLEMAK");
    EXPECT_EQ(popup.title(), "COLEMAK");
    popup.selectItemWithTitle("AZERTY");
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    EXPECT_EQ(popup.selectedItem(), nullptr);
}

TEST_F(ControlsTest, SegmentedControlSelectsTheClickedSegment) {
    View root(Rect(0, 0, 300, 100));
    auto* control = new SegmentedControl(Rect(0, 0, 300, 30));
    root.addSubview(control);
    control->setSegmentCount(3);
    control->setLabel("EN", 0);
    control->setLabel("DE", 1);
    control->setLabel("FR", 2);
    int actions = 0;
    control->action = [&](Control&) { ++actions; };
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(
            type, QPointF(150, 15), control->mapToGlobal(QPointF(150, 15)), Qt::LeftButton,
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(control, &event);
    }
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(control->clickedSegment(), 1);
    EXPECT_EQ(control->selectedSegment(), 1);
    control->setSelected(true, 2);
    EXPECT_EQ(control->selectedSegment(), 2);
    control->setSelected(true, 9);
    EXPECT_EQ(control->selectedSegment(), 2);
}

// Widths of their own place the segments side by side; one missing width shares equally.
TEST_F(ControlsTest, SegmentedControlWidthsOfTheirOwn) {
    SegmentedControl control(Rect(0, 0, 300, 30));
    control.setSegmentCount(3);
    struct Case {
        std::vector<double> widths;
        std::vector<double> xs;
        double probe;
        int hit;
    };
    const Case cases[] = {
        {{50, 150, 100}, {0, 50, 200}, 60, 1},
        {{50, 150, 100}, {0, 50, 200}, 210, 2},
        {{50, 0, 100}, {0, 100, 200}, 60, 0},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 3; ++i) control.setWidth(c.widths[size_t(i)], i);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(control.segmentRect(i).x(), c.xs[size_t(i)]) << i;
        EXPECT_EQ(control.segmentAt(Point{c.probe, 15}), c.hit);
    }
}

TEST_F(ControlsTest, ScrollViewShowsAndClampsTheVisibleRectangle) {
    ScrollView scroll(Rect(0, 0, 100, 50));
    scroll.setDocumentView(new View(Rect(0, 0, 400, 50)));
    EXPECT_EQ(scroll.documentVisibleRect(), Rect(0, 0, 100, 50));
    scroll.scrollToPoint(Point{120, 0});
    EXPECT_EQ(scroll.documentVisibleRect(), Rect(120, 0, 100, 50));
    scroll.scrollToPoint(Point{1000, 30});
    EXPECT_EQ(scroll.documentVisibleRect(), Rect(300, 0, 100, 50));
    scroll.scrollToPoint(Point{-5, 0});
    EXPECT_EQ(scroll.documentVisibleRect().x(), 0);
    EXPECT_EQ(ScrollView::enclosing(scroll.documentView()), &scroll);
}

TEST_F(ControlsTest, GradientPutsTheFirstColourAtTheBottomOfAnUpwardView) {
    View view(Rect(0, 0, 20, 100));
    auto gradient = std::make_shared<GradientLayer>();
    gradient->setColors({Color::black(), Color::white()});
    gradient->setStartPoint(Point{0, 0});
    gradient->setEndPoint(Point{0, 1});
    view.setLayer(gradient);
    const QImage image = view.snapshot();
    EXPECT_LT(qRed(image.pixel(10, 98)), 20);
    EXPECT_GT(qRed(image.pixel(10, 1)), 235);
    view.setFrameSize(Size{20, 200});
    EXPECT_EQ(gradient->frame(), Rect(0, 0, 20, 200)) << "the root layer follows the view";
}

}  // namespace
}  // namespace wv

namespace wv {
namespace {

class PopUpMenuTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
    ManualRunLoop loop;
};

TEST_F(PopUpMenuTest, TheOpenMenuShowsItemImagesAndPickingAnItemSelectsItAndActs) {
    View root(Rect(0, 0, 200, 100));
    auto* popup = new PopUpButton(Rect(10, 10, 120, 24));
    root.addSubview(popup);
    popup->addItemsWithTitles({"EN", "DE", "FR"});
    popup->menu().items()[0]->setImage(solid(Qt::red));
    popup->menu().items()[2]->setImage(solid(Qt::blue));
    popup->selectItemAtIndex(2);
    std::vector<std::string> acted;
    popup->action = [&](Control& sender) {
        acted.push_back(static_cast<PopUpButton&>(sender).titleOfSelectedItem());
    };

    auto seen = test::pickInNextOpenMenu("DE");
    QTest::mousePress(popup, Qt::LeftButton, Qt::NoModifier, QPoint(20, 12));
    ASSERT_TRUE(seen->opened);
    EXPECT_EQ(seen->titles, (std::vector<std::string>{"EN", "DE", "FR"}));
    EXPECT_EQ(seen->hasIcon, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(seen->checked, 2);
    EXPECT_EQ(popup->indexOfSelectedItem(), 1);
    EXPECT_EQ(acted, std::vector<std::string>{"DE"});

    // Closing the menu without a choice keeps the selection and sends nothing.
    auto closed = test::pickInNextOpenMenu("none of them");
    QTest::mousePress(popup, Qt::LeftButton, Qt::NoModifier, QPoint(20, 12));
    EXPECT_TRUE(closed->opened);
    EXPECT_EQ(popup->indexOfSelectedItem(), 1);
    EXPECT_EQ(acted.size(), 1u);
}

}  // namespace
}  // namespace wv
