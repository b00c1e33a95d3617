#include <gtest/gtest.h>

#include <QPainter>
#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "app/NamedImageCache.h"
#include "app/tests/AppTestSupport.h"
#include "platform/ui/Image.h"

namespace wv {
namespace {

void probe(QPainter& p, Size s) {
    p.fillRect(QRectF(0, 0, s.width / 2, s.height), QColor(200, 40, 40));
    p.setBrush(QColor(40, 200, 90));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(s.width / 2, 0, s.width / 2, s.height));
}

int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 2 || std::abs(qGreen(p) - qGreen(q)) > 2 ||
                std::abs(qAlpha(p) - qAlpha(q)) > 2)
                ++count;
        }
    return count;
}

TEST(NamedImageCache, DrawsOncePerSizeAndScaleAndLooksTheSame) {
    test::application();
    int draws = 0;
    Image::registerNamed("cacheProbe", Size{40, 20}, [&draws](QPainter& p, Size s) {
        ++draws;
        probe(p, s);
    });
    const Image reference(Size{40, 20}, probe);
    cacheNamedImages();
    ImagePtr cached = Image::named("cacheProbe");

    const QImage first = cached->render(1.0);
    const QImage second = cached->render(1.0);
    EXPECT_EQ(draws, 1);
    EXPECT_EQ(differingPixels(first, reference.render(1.0)), 0);
    EXPECT_EQ(first, second);

    const QImage large = cached->render(2.0, Size{60, 30});
    EXPECT_EQ(draws, 2);
    EXPECT_EQ(differingPixels(large, reference.render(2.0, Size{60, 30})), 0);

    // Turned pictures are drawn as they are, every time.
    QImage turned(80, 80, QImage::Format_ARGB32_Premultiplied);
    turned.fill(Qt::transparent);
    QPainter painter(&turned);
    painter.translate(40, 40);
    painter.rotate(30);
    cached->draw(painter, QRectF(-20, -10, 40, 20));
    EXPECT_EQ(draws, 3);

    cacheNamedImages();  // a second call wraps nothing again
    EXPECT_EQ(Image::named("cacheProbe"), cached);
}

TEST(NamedImageCache, PicturesWithEmptyMarginsAndEmptyPicturesLookTheSame) {
    test::application();
    const auto margins = [](QPainter& p, Size s) {
        p.fillRect(QRectF(s.width * 0.3, s.height * 0.25, s.width * 0.2, s.height * 0.5),
                   QColor(30, 90, 200));
        p.fillRect(QRectF(s.width * 0.6, s.height * 0.6, 2, 2), QColor(250, 250, 20));
    };
    Image::registerNamed("cacheMargins", Size{40, 20}, margins);
    Image::registerNamed("cacheEmpty", Size{40, 20}, [](QPainter&, Size) {});
    cacheNamedImages();
    const Image reference(Size{40, 20}, margins), empty(Size{40, 20}, [](QPainter&, Size) {});
    for (double scale : {1.0, 2.0}) {
        EXPECT_EQ(
            differingPixels(Image::named("cacheMargins")->render(scale), reference.render(scale)),
            0)
            << scale;
        EXPECT_EQ(differingPixels(Image::named("cacheEmpty")->render(scale), empty.render(scale)),
                  0)
            << scale;
    }
}

// Prepared for the size a view will show it at, a picture is drawn once, on another thread,
// and the paint takes that drawing; a size asked for before the view's last is dropped.
TEST(NamedImageCache, APicturePreparedAheadIsDrawnOnceElsewhereAndLooksTheSame) {
    test::application();
    // Shared with the drawing, which a thread of the pool may still be doing for the dropped
    // size when the test is over.
    struct Draws {
        std::mutex mutex;
        std::vector<std::pair<Size, bool>> list;  // the size, and whether on the main thread
        long at(Size size) {
            std::lock_guard lock(mutex);
            return std::count_if(list.begin(), list.end(), [&](auto& d) { return d.first == size; });
        }
    };
    auto draws = std::make_shared<Draws>();
    const std::thread::id mainThread = std::this_thread::get_id();
    Image::registerNamed("cacheAhead", Size{40, 20}, [draws, mainThread](QPainter& p, Size s) {
        {
            std::lock_guard lock(draws->mutex);
            draws->list.push_back({s, std::this_thread::get_id() == mainThread});
        }
        probe(p, s);
    });
    const Image reference(Size{40, 20}, probe);
    cacheNamedImages();
    ImagePtr cached = Image::named("cacheAhead");

    cached->prepare(Size{60, 30}, 1.0);
    cached->prepare(Size{80, 40}, 1.0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (draws->at(Size{80, 40}) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const QImage shown = cached->render(1.0, Size{80, 40});
    ASSERT_EQ(draws->at(Size{80, 40}), 1) << "drawn once, and not again by the paint";
    {
        std::lock_guard lock(draws->mutex);
        for (const auto& [size, onMain] : draws->list) EXPECT_FALSE(onMain);
    }
    EXPECT_EQ(differingPixels(shown, reference.render(1.0, Size{80, 40})), 0);
    cached->render(1.0, Size{80, 40});
    EXPECT_EQ(draws->at(Size{80, 40}), 1) << "kept as drawn";
}

TEST(NamedImageCache, FindingTheDrawnBoundsKeepsNoPictureAtTheNaturalSize) {
    test::application();
    int draws = 0;
    const auto margins = [&draws](QPainter& p, Size s) {
        ++draws;
        p.fillRect(QRectF(s.width * 0.25, s.height * 0.5, s.width * 0.5, s.height * 0.25),
                   QColor(30, 90, 200));
    };
    Image::registerNamed("cacheOutline", Size{40, 20}, margins);
    cacheNamedImages();
    ImagePtr cached = Image::named("cacheOutline");
    EXPECT_EQ(cached->drawnBounds(), Rect(10, 10, 20, 5));
    EXPECT_EQ(draws, 1);
    // Had the bounds been found through the pixels kept per size, this would cost no drawing.
    cached->render(1.0);
    EXPECT_EQ(draws, 2);
    cached->render(1.0);
    EXPECT_EQ(draws, 2) << "the size shown is still kept";
}

TEST(NamedImageCache, TheBackdropTextureKeepsNoSecondWindowSizedPicture) {
    test::application();
    int draws = 0;
    Image::registerNamed("bg", Size{1100, 620}, [&draws](QPainter& p, Size s) {
        ++draws;
        probe(p, s);
    });
    cacheNamedImages();
    Image::named("bg")->render(1.0);
    Image::named("bg")->render(1.0);
    EXPECT_EQ(draws, 2);
}

// Where it lies on whole pixels the backdrop's weave is laid as tiles: it must look as its
// lines drawn one by one do, wherever the picture starts. Drawn upside down the picture is
// off that path, and turned back it is the picture as drawn line by line.
TEST(Backdrop, TheWeaveLaidAsTilesLooksAsItsLinesDrawnOneByOne) {
    test::application();
    const ImagePtr bg = Image::named("bg");
    ASSERT_TRUE(bg);
    const QSize size(331, 217);  // no whole number of tiles
    auto drawn = [&](QPoint at, bool upsideDown) {
        QImage image(size + QSize(at.x(), at.y()), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter p(&image);
        if (upsideDown) {
            p.translate(0, image.height());
            p.scale(1, -1);
        }
        p.translate(at);
        bg->draw(p, QRectF(0, 0, size.width(), size.height()));
        p.end();
        return upsideDown ? image.mirrored(false, true) : image;
    };
    for (QPoint at : {QPoint(0, 0), QPoint(7, 3)}) {
        const QImage tiled = drawn(at, false), lined = drawn(at, true);
        int worst = 0;
        for (int y = 0; y < tiled.height(); ++y)
            for (int x = 0; x < tiled.width(); ++x) {
                const QRgb a = tiled.pixel(x, y), b = lined.pixel(x, y);
                const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                        std::abs(qBlue(a) - qBlue(b))});
                worst = std::max(worst, d);
            }
        EXPECT_LE(worst, 2) << "at " << at.x() << "," << at.y();
    }
}

}  // namespace
}  // namespace wv
