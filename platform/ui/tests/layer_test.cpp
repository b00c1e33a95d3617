// How a layer draws its background: a rounded one is kept as a picture and copied, which must
// give the pixels a direct fill gives, wherever the layer falls on the pixel grid.
#include "platform/ui/Layer.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPainterPath>
#include <memory>

#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

QImage blank() {
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    return image;
}

// The largest difference of one colour channel between two pictures of the same size.
int largestDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

TEST(LayerBackground, ARoundedBackgroundHasThePixelsOfADirectFillAtAnyOffset) {
    test::application();
    struct Case {
        const char* name;
        QRectF target;
        double opacity;
    };
    const Case cases[] = {
        {"on whole pixels", QRectF(4, 5, 40, 30), 1.0},
        {"a fraction right and down", QRectF(4.3, 5.7, 40, 30), 1.0},
        {"a fractional size", QRectF(3.5, 2.25, 41.6, 29.4), 1.0},
        {"half transparent, as a pulse frame", QRectF(7.8, 1.1, 38.2, 31.9), 0.45},
    };
    const QColor color(74, 144, 226, 230);
    // One layer for every case, as a key's layer keeps its picture from one frame to the next.
    auto layer = std::make_shared<Layer>();
    for (const Case& c : cases) {
        layer->setBackgroundColor(Color::rgb255(74, 144, 226, 230.0 / 255));
        layer->setCornerRadius(6);
        layer->setOpacity(c.opacity);

        QImage drawn = blank();
        {
            QPainter painter(&drawn);
            layer->render(painter, c.target, false);
        }
        QImage expected = blank();
        {
            QPainter painter(&expected);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setOpacity(c.opacity);
            QPainterPath path;
            path.addRoundedRect(c.target, 6, 6);
            painter.fillPath(path, color);
        }
        EXPECT_LE(largestDifference(drawn, expected), 1) << c.name;
        // Something was drawn at all, and in the right place.
        EXPECT_NE(drawn.pixel(int(c.target.center().x()), int(c.target.center().y())),
                  blank().pixel(0, 0))
            << c.name;
        EXPECT_EQ(drawn.pixel(1, 1), blank().pixel(0, 0)) << c.name;
    }
}

}  // namespace
}  // namespace wv
