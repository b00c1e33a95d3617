// The statistics screen: diagram bars, the tray's lines and stars, the details caption.
#include <QLinearGradient>
#include <string>

#include "app/artwork/ArtworkParts.h"
#include "app/artwork/Drawing.h"
#include "app/artwork/Palette.h"
#include "platform/ui/Image.h"

namespace wv::artwork {

namespace {
void bar(QPainter& p, Size s, const QColor& color) {
    const QRectF r = area(s);
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, color.lighter(112));
    g.setColorAt(1, color.darker(110));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(barPath(r, std::min(3.0, r.width() / 2)));
}

void star(QPainter& p, Size s, double filled) {
    using namespace palette;
    const QRectF r = area(s).adjusted(0.75, 0.75, -0.75, -0.75);
    const QPainterPath path = starPath(r);
    p.setPen(Qt::NoPen);
    p.setBrush(kMuted.darker(115));
    p.drawPath(path);
    if (filled > 0) {
        p.save();
        p.setClipRect(QRectF(0, 0, s.width * filled, s.height));
        p.setBrush(kGold);
        p.drawPath(path);
        p.restore();
    }
    p.setPen(QPen(filled > 0 ? kGold.darker(120) : kMuted, 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void line(QPainter& p, Size s, const QColor& color) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(area(s), s.height / 2, s.height / 2);
}

// The coloured head of the details panel: round top corners, square bottom.
void caption(QPainter& p, Size s, const QColor& color) {
    QLinearGradient g(0, 0, 0, s.height);
    g.setColorAt(0, color.lighter(110));
    g.setColorAt(1, color);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(barPath(area(s), 6));
}
}  // namespace

void registerStatistics() {
    using namespace palette;
    Image::registerNamed("bar", Size{12, 100}, [](QPainter& p, Size s) { bar(p, s, kTrack); });
    Image::registerNamed("barErrors", Size{12, 40}, [](QPainter& p, Size s) { bar(p, s, kError); });
    for (int i = 0; i < 7; ++i) {
        const QColor color = lessonColor(i);
        Image::registerNamed("bar" + std::to_string(i + 1), Size{12, 100}, [color](QPainter& p, Size s) { bar(p, s, color); });
        Image::registerNamed(i == 0 ? std::string("bgDetailCaption") : "bgDetailCaption" + std::to_string(i),
                             Size{160, 28}, [color](QPainter& p, Size s) { caption(p, s, color); });
    }
    for (int i = 0; i < 6; ++i) {
        const QColor color = lessonColor(i == 5 ? 6 : i);  // lessons 5 and 6 share one; the last is the expert's
        Image::registerNamed("line" + std::to_string(i + 1), Size{90, 3}, [color](QPainter& p, Size s) { line(p, s, color); });
    }
    Image::registerNamed("lineSymbols", Size{90, 3}, [](QPainter& p, Size s) { line(p, s, QColor(199, 199, 209)); });
    Image::registerNamed("dot", Size{6, 6}, [](QPainter& p, Size s) {
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawEllipse(area(s).adjusted(0.5, 0.5, -0.5, -0.5));
    });
    Image::registerNamed("starEmpty", Size{14, 14}, [](QPainter& p, Size s) { star(p, s, 0); });
    Image::registerNamed("starHalf", Size{14, 14}, [](QPainter& p, Size s) { star(p, s, 0.5); });
    Image::registerNamed("starFull", Size{14, 14}, [](QPainter& p, Size s) { star(p, s, 1); });
}

}  // namespace wv::artwork
