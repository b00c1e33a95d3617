// The two hands under the keyboard: a whole hand per side (palm and resting fingers) and, for
// every finger, an active and an inactive picture. All pictures of one hand share one canvas,
// so image views of one frame stack exactly: the hand below, the finger pictures over it.
#include <QPainterPath>
#include <QTransform>
#include <cmath>
#include <string>

#include "app/artwork/ArtworkParts.h"
#include "app/artwork/Drawing.h"
#include "app/artwork/Palette.h"
#include "platform/ui/Image.h"

namespace wv::artwork {

namespace {
const Size kHand{220, 200};

// The left hand seen from above, fingers up; the right hand is its mirror image.
struct Finger {
    QPointF base;  // where the finger leaves the palm
    double length, width, angle;  // angle in degrees, leaning right when positive
};
const Finger kFingers[5] = {
    {{60, 118}, 62, 25, -14},  // little
    {{89, 106}, 80, 28, -5},   // ring
    {{120, 102}, 88, 29, 2},   // middle
    {{151, 108}, 78, 28, 9},   // index
    {{162, 154}, 60, 31, 56},  // thumb
};

const double kPen = 1.6;      // the outline of palm and fingers
const double kGlowStep = 2.5;  // an active finger's glow: three rings this much apart
const int kGlowRings = 3;

const QColor kSkin(92, 92, 108);
const QColor kSkinEdge(132, 132, 150);

QPainterPath palmPath() {
    QPainterPath palm;
    palm.moveTo(48, 124);
    palm.cubicTo(54, 104, 152, 100, 166, 116);
    palm.cubicTo(176, 132, 172, 172, 158, 190);
    palm.cubicTo(138, 200, 76, 200, 60, 190);
    palm.cubicTo(46, 174, 42, 140, 48, 124);
    return palm;
}

// The finger runs from a little inside the palm up to its round tip.
QRectF fingerBody(const Finger& f) { return QRectF(-f.width / 2, -f.length, f.width, f.length + 10); }

// The hand's design space as drawn on its canvas: mirrored for the right hand.
QTransform handSpace(bool right) {
    QTransform t;
    if (right) {
        t.translate(kHand.width, 0);
        t.scale(-1, 1);
    }
    return t;
}

// Draws in the 220 x 200 design space of a hand, mirrored for the right hand.
void inHand(QPainter& p, Size s, bool right, const std::function<void(QPainter&)>& body) {
    p.scale(s.width / kHand.width, s.height / kHand.height);
    p.setTransform(handSpace(right), true);
    body(p);
}

// Where a finger puts pixels, in the hand's design space: its body, or its outermost glow
// ring when lit, and the half of the outline that lies outside either.
QRectF fingerExtent(const Finger& f, bool active, bool right) {
    const double d = active ? kGlowStep * kGlowRings : 0;
    QPainterPath outline;
    outline.addRoundedRect(fingerBody(f).adjusted(-d, -d, d, d), f.width / 2 + d, f.width / 2 + d);
    QTransform t = handSpace(right);
    t.translate(f.base.x(), f.base.y());
    t.rotate(f.angle);
    return t.map(outline).boundingRect().adjusted(-kPen / 2, -kPen / 2, kPen / 2, kPen / 2);
}

// The whole pixels an extent touches, half a pixel more for antialiasing, on the canvas.
Rect pixelsOf(const QRectF& extent) {
    const QRectF r = extent.adjusted(-0.5, -0.5, 0.5, 0.5) & QRectF(0, 0, kHand.width, kHand.height);
    const double left = std::floor(r.left()), top = std::floor(r.top());
    return Rect(left, top, std::ceil(r.right()) - left, std::ceil(r.bottom()) - top);
}

void drawFinger(QPainter& p, const Finger& f, bool active) {
    using namespace palette;
    p.save();
    p.translate(f.base);
    p.rotate(f.angle);
    const QRectF body = fingerBody(f);
    if (active) {
        p.setPen(Qt::NoPen);
        for (int i = kGlowRings; i >= 1; --i) {
            QColor glow = kHighlight;
            glow.setAlpha(28);
            p.setBrush(glow);
            const double d = kGlowStep * i;
            p.drawRoundedRect(body.adjusted(-d, -d, d, d), f.width / 2 + d, f.width / 2 + d);
        }
    }
    p.setPen(QPen(active ? kHighlight.lighter(140) : kSkinEdge, kPen));
    p.setBrush(active ? kHighlight : kSkin);
    p.drawRoundedRect(body, f.width / 2, f.width / 2);
    // The nail.
    const QRectF nail(-f.width * 0.28, -f.length + f.width * 0.22, f.width * 0.56, f.width * 0.62);
    p.setPen(Qt::NoPen);
    p.setBrush(active ? QColor(255, 255, 255, 110) : QColor(255, 255, 255, 40));
    p.drawRoundedRect(nail, f.width * 0.22, f.width * 0.22);
    // Knuckle creases.
    p.setPen(QPen(active ? QColor(255, 255, 255, 90) : QColor(0, 0, 0, 60), 1.2, Qt::SolidLine, Qt::RoundCap));
    for (double at : {0.42, 0.72}) {
        const double y = -f.length + f.length * at;
        p.drawLine(QPointF(-f.width * 0.22, y), QPointF(f.width * 0.22, y));
    }
    p.restore();
}

void drawPalm(QPainter& p) {
    p.setPen(QPen(kSkinEdge, kPen));
    p.setBrush(kSkin.darker(108));
    p.drawPath(palmPath());
}

// The hands' views keep repaints to where the pictures have pixels. Each picture says where
// that is from its own geometry: finding it by drawing all twenty-two at start-up would cost
// more than the window's whole first paint of them.
void registerHand(bool right) {
    const std::string side = right ? "right" : "left";
    QRectF hand = handSpace(right).map(palmPath()).boundingRect().adjusted(-kPen / 2, -kPen / 2, kPen / 2, kPen / 2);
    for (const Finger& finger : kFingers) hand |= fingerExtent(finger, false, right);
    Image::registerNamed(side + "Hand", kHand, [right](QPainter& p, Size s) {
        inHand(p, s, right, [](QPainter& p) {
            drawPalm(p);
            for (const Finger& finger : kFingers) drawFinger(p, finger, false);
        });
    }, pixelsOf(hand));
    for (int i = 0; i < 5; ++i) {
        const Finger finger = kFingers[i];
        for (bool active : {true, false}) {
            Image::registerNamed(side + "Finger" + std::to_string(i + 1) + (active ? "Active" : "Inactive"), kHand,
                                 [right, finger, active](QPainter& p, Size s) {
                                     inHand(p, s, right, [&](QPainter& p) { drawFinger(p, finger, active); });
                                 },
                                 pixelsOf(fingerExtent(finger, active, right)));
        }
    }
}
}  // namespace

void registerHands() {
    registerHand(false);
    registerHand(true);
}

}  // namespace wv::artwork
