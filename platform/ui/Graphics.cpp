#include "platform/ui/Graphics.h"

#include <QAbstractTextDocumentLayout>

#include "platform/ui/QtConvert.h"
#include "platform/ui/TextDocument.h"

namespace wv {

bool Graphics::isUpward(const QPainter& painter) { return painter.worldTransform().m22() < 0; }

void Graphics::upright(QPainter& painter, const Rect& r,
                       const std::function<void(QPainter&, const QRectF&)>& body) {
    painter.save();
    if (isUpward(painter)) {
        painter.translate(r.x(), r.y() + r.height());
        painter.scale(1, -1);
    } else {
        painter.translate(r.x(), r.y());
    }
    body(painter, QRectF(0, 0, r.width(), r.height()));
    painter.restore();
}

void Graphics::fill(QPainter& painter, const Rect& r, const Color& color) {
    painter.fillRect(toQRectF(r), toQColor(color));
}

void Graphics::drawImage(QPainter& painter, const Image& image, const Rect& r, double fraction,
                         QPainter::CompositionMode mode) {
    upright(painter, r, [&](QPainter& p, const QRectF& local) {
        p.setCompositionMode(mode);
        image.draw(p, local, fraction);
    });
}

void Graphics::drawText(QPainter& painter, const AttributedString& text, const Rect& r, bool wrap) {
    if (text.empty()) return;
    upright(painter, r, [&](QPainter& p, const QRectF& local) {
        const auto document = laidOutText(text, local.width(), wrap);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.scale(1 / kTextLayoutScale, 1 / kTextLayoutScale);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, 0, local.width() * kTextLayoutScale,
                              std::max(local.height() * kTextLayoutScale, document->size().height()));
        document->documentLayout()->draw(&p, context);
    });
}

}  // namespace wv
