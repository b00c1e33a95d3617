// The settings sidebar's controls: check mark, mode switch and on/off switches.
#include <QLinearGradient>

#include "app/artwork/ArtworkParts.h"
#include "app/artwork/Drawing.h"
#include "app/artwork/Palette.h"
#include "platform/ui/Image.h"

namespace wv::artwork {

namespace {
void pill(QPainter& p, const QRectF& r, const QColor& color) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, color.lighter(112));
    g.setColorAt(1, color.darker(108));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    const double radius = r.height() / 2;
    p.drawRoundedRect(r, radius, radius);
}

// An on/off switch: a rounded track and a round knob at its left (off) or right (on) end.
void toggle(QPainter& p, Size s, bool on, bool dimmed) {
    using namespace palette;
    p.setOpacity(dimmed ? 0.4 : 1.0);
    const QRectF track = area(s).adjusted(1, 1, -1, -1);
    pill(p, track, on ? kGreen : kTrack);
    const double d = track.height() - 4;
    const QRectF knob(on ? track.right() - 2 - d : track.left() + 2, track.top() + 2, d, d);
    p.setBrush(QColor(0, 0, 0, 50));
    p.drawEllipse(knob.translated(0, 1));
    p.setBrush(QColor(250, 250, 252));
    p.drawEllipse(knob);
}
}  // namespace

void registerControls() {
    using namespace palette;
    Image::registerNamed("checkMark", Size{14, 12}, [](QPainter& p, Size s) {
        p.scale(s.width / 14.0, s.height / 12.0);
        p.setPen(QPen(kGreen, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(2, 6.5), QPointF(5.5, 10), QPointF(12, 2.5)}));
    });
    Image::registerNamed("switcherBody", Size{160, 26}, [](QPainter& p, Size s) {
        const QRectF r = area(s).adjusted(0.5, 0.5, -0.5, -0.5);
        p.setPen(QPen(QColor(255, 255, 255, 45), 1));
        p.setBrush(kKeyFace.darker(115));
        p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    });
    Image::registerNamed("activeGreen", Size{80, 26}, [](QPainter& p, Size s) { pill(p, area(s).adjusted(1, 1, -1, -1), kGreen); });
    Image::registerNamed("activeOrange", Size{80, 26}, [](QPainter& p, Size s) { pill(p, area(s).adjusted(1, 1, -1, -1), kOrange); });
    const Size knobSwitch{38, 22};
    Image::registerNamed("switchONSidebar", knobSwitch, [](QPainter& p, Size s) { toggle(p, s, true, false); });
    Image::registerNamed("switchOFFSidebar", knobSwitch, [](QPainter& p, Size s) { toggle(p, s, false, false); });
    Image::registerNamed("switchONSidebarDimmed", knobSwitch, [](QPainter& p, Size s) { toggle(p, s, true, true); });
    Image::registerNamed("switchOFFSidebarDimmed", knobSwitch, [](QPainter& p, Size s) { toggle(p, s, false, true); });
}

}  // namespace wv::artwork
