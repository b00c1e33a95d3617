#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/ui/Window.h"
#include "screens/controls/WVVisualEffectView.h"
#include "screens/controls/tests/ControlsTestSupport.h"

namespace wv {
namespace {

class VisualEffectViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        test::registerSolidNamed("bg", Qt::white, Size{32, 32});
    }
};

int bgLayers(WVVisualEffectView& view) {
    int count = 0;
    for (const auto& sublayer : view.layer()->sublayers())
        if (sublayer->contents() == Image::named("bg")) ++count;
    return count;
}

TEST_F(VisualEffectViewTest, MovingBetweenWindowsKeepsOneTextureLayerOverTheDarkFill) {
    Window first(Rect(0, 0, 200, 100)), second(Rect(0, 0, 200, 100));
    auto* view = new WVVisualEffectView(Rect(0, 0, 200, 100));
    view->layer()->setBackgroundColor(Color::black());
    EXPECT_EQ(bgLayers(*view), 0) << "laid on when the view goes into a window";
    first.contentView()->addSubview(view);
    EXPECT_EQ(bgLayers(*view), 1);
    second.contentView()->addSubview(view);
    view->removeFromSuperview();
    first.contentView()->addSubview(view);
    EXPECT_EQ(bgLayers(*view), 1);
    EXPECT_EQ(view->transparentLayer->opacity(), 0.4f);
    EXPECT_EQ(view->transparentLayer->frame(), view->bounds());

    // White at 0.4 over black: 102 of 255, everywhere, and opaque.
    const QImage image = view->snapshot();
    for (QPoint p : {QPoint(1, 1), QPoint(100, 50), QPoint(198, 98)}) {
        const QColor c = image.pixelColor(p);
        EXPECT_NEAR(c.red(), 102, 3);
        EXPECT_EQ(c.alpha(), 255);
    }
    // A new size: the texture layer follows it, and the picture is made anew.
    view->setFrame(Rect(0, 0, 300, 150));
    EXPECT_EQ(view->transparentLayer->frame(), view->bounds());
    EXPECT_NEAR(view->snapshot().pixelColor(290, 140).red(), 102, 3);
}

// Gradients and thin diagonal strokes at fractions of a pixel: what differs first when a part
// is drawn with other offsets or clips than the whole.
void registerTexturedBackdrop(std::function<void()> drawn = {}) {
    Image::registerNamed("bg", Size{256, 256}, [drawn](QPainter& p, Size s) {
        if (drawn) drawn();
        const QRectF r(0, 0, s.width, s.height);
        QLinearGradient base(r.topLeft(), r.bottomRight());
        base.setColorAt(0, QColor(90, 70, 160));
        base.setColorAt(1, QColor(20, 140, 60));
        p.fillRect(r, base);
        QRadialGradient glow(QPointF(r.width() * 0.3, r.height() * 0.25), r.width() * 0.8);
        glow.setColorAt(0, QColor(250, 200, 40, 120));
        glow.setColorAt(1, QColor(250, 200, 40, 0));
        p.fillRect(r, glow);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(255, 255, 255, 90), 1.3));
        for (double x = -r.height(); x < r.width(); x += 6.7)
            p.drawLine(QPointF(x, r.height()), QPointF(x + r.height(), 0));
    });
}

// Whether two pixels are more than rounding apart: an antialiased stroke's edge under another
// clip may land a level or two off, a seam or a part from the wrong place far more.
bool apart(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) > 2 || std::abs(qGreen(a) - qGreen(b)) > 2 ||
           std::abs(qBlue(a) - qBlue(b)) > 2 || qAlpha(a) != qAlpha(b);
}

// Draws `region` of the view alone into a picture that already holds `under`.
QImage drawnAgain(WVVisualEffectView& view, const QRegion& region, QColor under) {
    QImage image(view.width(), view.height(), QImage::Format_ARGB32_Premultiplied);
    image.fill(under);
    // Qt lays the region's top left corner at the offset given.
    view.render(&image, region.boundingRect().topLeft(), region, QWidget::DrawChildren);
    return image;
}

TEST_F(VisualEffectViewTest, PartsDrawnAgainMatchTheWholeViewToALevelOrTwo) {
    registerTexturedBackdrop();
    struct Case {
        const char* what;
        Color fill;
        QRegion region;
    };
    QRegion scattered;  // several rectangles, as a key press asks for
    for (QRect r : {QRect(3, 5, 41, 29), QRect(70, 30, 57, 45), QRect(150, 101, 90, 70),
                    QRect(17, 180, 200, 17)})
        scattered += r;
    const Color translucent = Color::rgb(0.9, 0.2, 0.1, 0.5);
    const Case cases[] = {
        {"one rectangle", WVVisualEffectView::defaultFill(), QRegion(33, 47, 101, 77)},
        {"several rectangles", WVVisualEffectView::defaultFill(), scattered},
        {"one rectangle, translucent fill", translucent, QRegion(33, 47, 101, 77)},
        {"several rectangles, translucent fill", translucent, scattered},
    };
    for (const Case& c : cases) {
        Window window(Rect(0, 0, 260, 210));
        auto* view = new WVVisualEffectView(Rect(0, 0, 260, 210));
        view->layer()->setBackgroundColor(c.fill);
        window.contentView()->addSubview(view);
        const QImage whole = view->snapshot();
        // Once that paint is over, a part asked for again is rasterised anew in cells under
        // their own clips, not copied from the first paint's picture.
        QCoreApplication::sendPostedEvents(view, QEvent::MetaCall);
        // Drawn over red: a part that lets what lay beneath show through differs from the
        // whole, which was drawn over nothing.
        const QImage part = drawnAgain(*view, c.region, Qt::red);
        int differing = 0, outside = 0;
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x) {
                const QRgb a = part.pixel(x, y), b = whole.pixel(x, y);
                if (!c.region.contains(QPoint(x, y)))
                    outside += a != QColor(Qt::red).rgba();
                else
                    differing += apart(a, b);
            }
        EXPECT_EQ(differing, 0) << c.what;
        EXPECT_EQ(outside, 0) << c.what << ": drawn outside the part asked for";
        EXPECT_EQ(qAlpha(whole.pixel(130, 100)), 255) << c.what;
    }
}

// The backdrop keeps pixels only for parts asked for again after the paint that first showed
// them: the first paint of a window, keyboard and keys asking for the same cells, draws them
// once and keeps none once it is over.
TEST_F(VisualEffectViewTest, KeepsPixelsOnlyForPartsAskedForAgainAfterAPaint) {
    registerTexturedBackdrop();
    Window window(Rect(0, 0, 400, 300));
    auto* view = new WVVisualEffectView(Rect(0, 0, 400, 300));
    window.contentView()->addSubview(view);
    auto draw = [&](const QRect& area) {
        QImage part(area.size(), QImage::Format_RGB32);
        QPainter painter(&part);
        view->drawArea(painter, QRectF(part.rect()), area);
        return part;
    };
    // Only the end of a paint turns parts asked for into parts asked for before; other posted
    // events (the window's own paint) stay out of it.
    auto endPaint = [&] { QCoreApplication::sendPostedEvents(view, QEvent::MetaCall); };
    const QRect key(130, 70, 50, 40);

    const QImage whole = draw(view->rect());  // the first paint
    draw(key);                                // a key in that paint asks for its part
    // 13 x 10 cells of 32 px cover 400 x 300; the key's were drawn with them, not again.
    EXPECT_EQ(view->keptPixels(), 13u * 10u * 32u * 32u);
    endPaint();
    EXPECT_EQ(view->keptPixels(), 0u);

    const QImage again = draw(key);
    // The cells under the key alone: 32 px squares from (128, 64) to (191, 127).
    EXPECT_EQ(view->keptPixels(), 2u * 2u * 32u * 32u);
    int differing = 0;
    for (int y = 0; y < key.height(); ++y)
        for (int x = 0; x < key.width(); ++x)
            differing += apart(again.pixel(x, y), whole.pixel(key.x() + x, key.y() + y));
    EXPECT_EQ(differing, 0);

    // A new size drops what was kept, and parts asked for twice within one paint keep nothing.
    view->setFrame(Rect(0, 0, 380, 300));
    draw(key);
    draw(key);
    endPaint();
    EXPECT_EQ(view->keptPixels(), 0u);
}

// The first paint of a window takes a picture of the whole backdrop that the pool's threads drew
// while the window was being built, for the size the view has by then, not the one it had when
// it went into the window.
TEST_F(VisualEffectViewTest, TheFirstPictureIsDrawnAheadForTheSizeTheViewIsShownAt) {
    const std::thread::id mainThread = std::this_thread::get_id();
    std::atomic<int> drawnElsewhere{0};
    registerTexturedBackdrop([&] { drawnElsewhere += std::this_thread::get_id() != mainThread; });
    Window window(Rect(0, 0, 260, 210));
    auto* view = new WVVisualEffectView(Rect(0, 0, 200, 150));
    window.contentView()->addSubview(view);
    view->setFrame(Rect(0, 0, 260, 210));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (drawnElsewhere == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(drawnElsewhere, 0) << "nothing was drawn ahead";

    const QImage whole = view->snapshot();
    // 9 x 7 cells of 32 px cover 260 x 210, every one drawn ahead.
    EXPECT_EQ(view->keptPixels(), 9u * 7u * 32u * 32u);
    QCoreApplication::sendPostedEvents(view, QEvent::MetaCall);  // the paint is over
    EXPECT_EQ(view->keptPixels(), 0u);
    // Drawn again now, in cells on the main thread: a picture drawn for the first size, or
    // with bands out of place, differs by far more than rounding.
    const QImage again = drawnAgain(*view, QRegion(view->rect()), Qt::red);
    int differing = 0;
    for (int y = 0; y < whole.height(); ++y)
        for (int x = 0; x < whole.width(); ++x)
            differing += apart(again.pixel(x, y), whole.pixel(x, y));
    EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace wv
