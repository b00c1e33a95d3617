#include "platform/ui/TextMeasurer.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>
#include <mutex>

#include "platform/ui/TextDocument.h"

namespace wv {

namespace {
std::mutex mutex;
std::shared_ptr<const TextMeasurer>& installed() {
    static std::shared_ptr<const TextMeasurer> measurer = std::make_shared<QtTextMeasurer>();
    return measurer;
}

// The extent of the laid-out lines; the document's own size would include the trailing
// line spacing and the full container width. Lines below `maxHeight` do not fit into the
// container and are left out, except the first.
Rect linesRect(const QTextDocument& document, double maxHeight = 1e18) {
    double left = 1e18, right = -1e18, top = 1e18, bottom = -1e18;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextLayout* layout = block.layout();
        const QPointF offset = document.documentLayout()->blockBoundingRect(block).topLeft();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const double lineBottom = offset.y() + line.y() + line.ascent() + line.descent();
            if (bottom > -1e18 && lineBottom > (maxHeight + 0.5) * kTextLayoutScale) break;
            const QRectF r = line.naturalTextRect().translated(offset);
            left = std::min(left, r.left());
            right = std::max(right, r.right());
            top = std::min(top, offset.y() + line.y());
            bottom = std::max(bottom, offset.y() + line.y() + line.ascent() + line.descent());
        }
    }
    if (left > right) return Rect();
    left = std::max(0.0, left);
    top = std::max(0.0, top);
    const double k = 1.0 / kTextLayoutScale;
    return Rect(left * k, top * k, (right - left) * k, (bottom - top) * k);
}
}  // namespace

const TextMeasurer& TextMeasurer::current() {
    std::lock_guard lock(mutex);
    return *installed();
}

std::shared_ptr<const TextMeasurer> TextMeasurer::setCurrent(std::shared_ptr<const TextMeasurer> measurer) {
    std::lock_guard lock(mutex);
    auto previous = installed();
    installed() = measurer ? std::move(measurer) : std::make_shared<QtTextMeasurer>();
    return previous;
}

Size QtTextMeasurer::size(const AttributedString& text) const {
    const auto document = laidOutText(text);
    const Rect r = linesRect(*document);
    return {r.maxX(), r.maxY()};
}

Rect QtTextMeasurer::usedRect(const AttributedString& text, Size container) const {
    const auto document = laidOutText(text, container.width);
    return linesRect(*document, container.height);
}

}  // namespace wv
