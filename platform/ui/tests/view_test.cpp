#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <vector>

#include "platform/dispatch/ManualRunLoop.h"
#include "platform/ui/Layer.h"
#include "platform/ui/View.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

// A view that fills itself with one colour through its layer.
View* colouredView(const Rect& frame, QColor color) {
    auto* view = new View(frame);
    view->layer()->setBackgroundColor(Color{color.redF(), color.greenF(), color.blueF(), 1});
    return view;
}

bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 4 && std::abs(a.green() - b.green()) < 4 &&
           std::abs(a.blue() - b.blue()) < 4 && std::abs(a.alpha() - b.alpha()) < 4;
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override { test::application(); }
};

TEST_F(ViewTest, UpwardFrameLandsAboveTheBottomEdge) {
    View root(Rect(0, 0, 200, 100));
    root.layer()->setBackgroundColor(Color::white());
    View* child = colouredView(Rect(10, 20, 30, 40), Qt::red);
    root.addSubview(child);
    EXPECT_EQ(child->geometry(), QRect(10, 40, 30, 40)) << "y 20 from the bottom of a 100-point view";

    EXPECT_EQ(root.snapshot().size(), QSize(200, 100));
    // The widget tree as Qt itself grabs it, saved for a look.
    const QImage image = root.grab().toImage();
    ASSERT_EQ(image.size(), QSize(200, 100));
    ASSERT_TRUE(image.save(QDir::currentPath() + "/view_tree.png"));
    EXPECT_TRUE(near(image.pixelColor(25, 60), Qt::red));   // inside: 20..60 up = rows 40..79
    EXPECT_TRUE(near(image.pixelColor(25, 41), Qt::red));
    EXPECT_TRUE(near(image.pixelColor(25, 78), Qt::red));
    EXPECT_TRUE(near(image.pixelColor(25, 38), Qt::white));  // above the child
    EXPECT_TRUE(near(image.pixelColor(25, 82), Qt::white));  // below it, inside its y = 0..20 gap
    EXPECT_TRUE(near(image.pixelColor(5, 60), Qt::white));
}

TEST_F(ViewTest, FlippedSuperviewMeasuresFromTheTop) {
    View root(Rect(0, 0, 200, 100));
    root.setFlipped(true);
    root.layer()->setBackgroundColor(Color::white());
    root.addSubview(colouredView(Rect(10, 20, 30, 40), Qt::blue));
    const QImage image = root.snapshot();
    EXPECT_TRUE(near(image.pixelColor(25, 21), Qt::blue));
    EXPECT_TRUE(near(image.pixelColor(25, 58), Qt::blue));
    EXPECT_TRUE(near(image.pixelColor(25, 18), Qt::white));
    EXPECT_TRUE(near(image.pixelColor(25, 62), Qt::white));
}

TEST_F(ViewTest, ResizingKeepsUpwardFramesAtTheirDistanceFromTheBottom) {
    View root(Rect(0, 0, 200, 100));
    View* pinned = colouredView(Rect(10, 20, 30, 40), Qt::red);
    View* stretched = colouredView(Rect(50, 10, 100, 80), Qt::green);
    stretched->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    root.addSubview(pinned);
    root.addSubview(stretched);
    root.setFrameSize(Size{300, 200});
    EXPECT_EQ(pinned->frame(), Rect(10, 20, 30, 40));
    EXPECT_EQ(pinned->geometry(), QRect(10, 140, 30, 40));
    EXPECT_EQ(stretched->frame(), Rect(50, 10, 200, 180));
    EXPECT_EQ(stretched->geometry(), QRect(50, 10, 200, 180));
}

TEST_F(ViewTest, SubviewsKeepTheirOrderAndLaterOnesDrawOnTop) {
    View root(Rect(0, 0, 100, 100));
    View* back = colouredView(Rect(0, 0, 60, 60), Qt::red);
    View* front = colouredView(Rect(30, 30, 60, 60), Qt::blue);
    back->setTag(1);
    front->setTag(2);
    root.addSubview(back);
    root.addSubview(front);
    ASSERT_EQ(root.subviews().size(), 2u);
    EXPECT_EQ(root.subviews()[0], back);
    EXPECT_EQ(root.viewWithTag(2), front);
    EXPECT_EQ(root.viewWithTag(7), nullptr);
    // The overlap (30..60 up) is blue: the later subview is in front.
    EXPECT_TRUE(near(root.snapshot().pixelColor(45, 55), Qt::blue));

    front->removeFromSuperview();
    EXPECT_EQ(root.subviews().size(), 1u);
    EXPECT_EQ(front->superview(), nullptr);
    EXPECT_TRUE(near(root.snapshot().pixelColor(45, 55), Qt::red));
    delete front;
}

TEST_F(ViewTest, HiddenAndTransparentViewsDrawNothing) {
    View root(Rect(0, 0, 100, 100));
    root.layer()->setBackgroundColor(Color::white());
    View* hidden = colouredView(Rect(0, 0, 50, 100), Qt::red);
    View* half = colouredView(Rect(50, 0, 50, 100), Qt::black);
    root.addSubview(hidden);
    root.addSubview(half);
    hidden->setHidden(true);
    half->setAlphaValue(0.5);
    EXPECT_TRUE(hidden->isHidden());
    const QImage image = root.snapshot();
    EXPECT_TRUE(near(image.pixelColor(25, 50), Qt::white));
    EXPECT_NEAR(image.pixelColor(75, 50).red(), 128, 4);
    hidden->setHidden(false);
    EXPECT_TRUE(near(root.snapshot().pixelColor(25, 50), Qt::red));
    // A faded view's subviews fade with it, also when they join after the fade was set.
    hidden->setAlphaValue(0.5);
    hidden->addSubview(colouredView(Rect(0, 0, 50, 100), Qt::black));
    EXPECT_NEAR(root.snapshot().pixelColor(25, 50).red(), 128, 4);
}

TEST_F(ViewTest, NeedsDisplayUntilDrawn) {
    View root(Rect(0, 0, 10, 10));
    root.snapshot();
    EXPECT_FALSE(root.needsDisplay());
    root.setNeedsDisplay(true);
    EXPECT_TRUE(root.needsDisplay());
    root.snapshot();
    EXPECT_FALSE(root.needsDisplay());
}

TEST_F(ViewTest, WindowPointsConvertThroughNestedViews) {
    View root(Rect(0, 0, 200, 100));
    auto* flipped = new View(Rect(20, 10, 100, 50));
    flipped->setFlipped(true);
    root.addSubview(flipped);
    // The flipped view's top edge is at 60 (up) in the root; its y = 5 is 55 up in the root.
    const Point inWindow = flipped->convertPointToWindow(Point{3, 5});
    EXPECT_DOUBLE_EQ(inWindow.x, 23);
    EXPECT_DOUBLE_EQ(inWindow.y, 55);
    const Point back = flipped->convertPointFromWindow(inWindow);
    EXPECT_DOUBLE_EQ(back.x, 3);
    EXPECT_DOUBLE_EQ(back.y, 5);
}

// Records the clip and dirty rectangle of each drawing of the view's own.
class ClipRecordingView : public View {
public:
    using View::View;
    struct Drawing {
        QRegion clip;
        Rect dirty;
    };
    std::vector<Drawing> drawings;

protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override {
        QRegion clip = painter.clipRegion();
        if (!painter.hasClipping()) clip = QRegion(0, 0, width(), height());
        drawings.push_back({clip.translated(painter.transform().dx(), painter.transform().dy()),
                            dirtyRect});
        painter.fillRect(QRectF(0, 0, width(), height()), Qt::blue);
    }
};

// Qt's raster engine sends a blend of a hundred spans or more under a clip of several
// rectangles to its thread pool and waits: a tall ragged region is drawn in plain rectangles
// of fewer rows, which together cover it, and a plain rectangle is drawn once, whole.
TEST_F(ViewTest, ATallRaggedRegionIsDrawnInPlainRectanglesOfFewRows) {
    View root(Rect(0, 0, 300, 300));
    root.setFlipped(true);
    auto* view = new ClipRecordingView(Rect(0, 0, 300, 300));
    view->setFlipped(true);
    root.addSubview(view);
    root.show();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();

    view->drawings.clear();
    const QRegion ragged = QRegion(10, 10, 40, 200) + QRegion(100, 50, 40, 200);
    view->update(ragged);
    QCoreApplication::processEvents();
    ASSERT_GE(view->drawings.size(), 2u);
    QRegion covered;
    for (const auto& drawing : view->drawings) {
        EXPECT_EQ(drawing.clip.rectCount(), 1) << "a plain rectangle";
        EXPECT_LT(drawing.clip.boundingRect().height(), 96) << "rows under one clip";
        EXPECT_TRUE(drawing.clip.boundingRect().contains(QRect(int(drawing.dirty.x()),
                                                                int(drawing.dirty.y()),
                                                                int(drawing.dirty.width()),
                                                                int(drawing.dirty.height()))));
        covered += drawing.clip;
    }
    EXPECT_TRUE((ragged - covered).isEmpty()) << "every part of the region is drawn";

    view->drawings.clear();
    view->update(QRect(0, 0, 300, 300));
    QCoreApplication::processEvents();
    EXPECT_EQ(view->drawings.size(), 1u) << "one rectangle, however tall, is drawn once";
}

// A view that asked for bands (its drawing is kept pictures) is drawn in them even for one
// plain rectangle, when that is tall enough for Qt to hand its blends to the thread pool.
TEST_F(ViewTest, AViewDrawnInBandsDrawsATallRectangleInFewRowsAtATime) {
    View root(Rect(0, 0, 100, 300));
    root.setFlipped(true);
    auto* view = new ClipRecordingView(Rect(0, 0, 100, 300));
    view->setFlipped(true);
    view->setDrawsInBands(true);
    root.addSubview(view);
    root.show();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();

    view->drawings.clear();
    view->update(QRect(0, 0, 100, 250));
    QCoreApplication::processEvents();
    ASSERT_GE(view->drawings.size(), 4u);
    QRegion covered;
    for (const auto& drawing : view->drawings) {
        EXPECT_LT(drawing.clip.boundingRect().height(), 96) << "rows under one clip";
        covered += drawing.clip;
    }
    EXPECT_TRUE((QRegion(0, 0, 100, 250) - covered).isEmpty());

    view->drawings.clear();
    view->update(QRect(0, 0, 100, 60));
    QCoreApplication::processEvents();
    EXPECT_EQ(view->drawings.size(), 1u) << "a short rectangle stays whole";
}

}  // namespace
}  // namespace wv
