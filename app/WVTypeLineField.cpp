#include "app/WVTypeLineField.h"

#include <QAbstractTextDocumentLayout>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "platform/ui/Graphics.h"
#include "platform/ui/QtConvert.h"
#include "platform/ui/TextDocument.h"

namespace wv {

namespace {
// Room left on either side of the line, as plain text fields leave it.
constexpr double kInset = 2.0;
}  // namespace

Color toColor(const RGBColor& c) { return Color::rgb(c.red, c.green, c.blue, c.alpha); }

WVTypeLineField::WVTypeLineField(const Rect& frame) : TextField(frame) {}

void WVTypeLineField::setStyledText(const StyledText& text) {
    styled_ = text;
    refreshFont();
}

void WVTypeLineField::refreshFont() {
    AttributedString string;
    const TextAlignment alignment = styled_.alignment() == StyledText::Alignment::Center
                                        ? TextAlignment::Center
                                        : TextAlignment::Natural;
    for (const auto& character : styled_.characters()) {
        TextAttributes attributes;
        attributes.font = font();
        attributes.foreground = toColor(character.foreground);
        attributes.paragraph = ParagraphStyle{alignment, 0};
        string.append(character.text, attributes);
    }
    setAttributedStringValue(std::move(string));
}

Font WVTypeLineField::fittingFont(const Font& proposed) {
    const std::string text = stringValue();
    const double available = bounds().width() - 2 * kInset;
    if (lastFit_ && lastFit_->text == text && lastFit_->width == available &&
        lastFit_->proposed == proposed)
        return lastFit_->fitted;
    Font fitted = proposed;
    for (int step = 0; step < 3 && !text.empty() && available > 0; ++step) {
        TextAttributes attributes;
        attributes.font = fitted;
        const auto document = makeTextDocument(AttributedString(text, attributes));
        const double width = document->idealWidth() / kTextLayoutScale;
        if (width <= available) break;
        fitted = fitted.withSize(fitted.pointSize * available / width * 0.995);
    }
    lastFit_ = Fit{text, available, proposed, fitted};
    return fitted;
}

void WVTypeLineField::draw(QPainter& painter, const Rect&) {
    const AttributedString text = attributedStringValue();
    if (text.empty()) return;
    Graphics::upright(painter, bounds().insetBy(kInset, 0), [&](QPainter& p, const QRectF& local) {
        auto document = makeTextDocument(text, local.width(), false);
        const double height = document->size().height() / kTextLayoutScale;
        p.translate(0, std::max(0.0, (local.height() - height) / 2));
        p.scale(1 / kTextLayoutScale, 1 / kTextLayoutScale);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);

        // Characters that carry a background: find their place on the laid-out line.
        QTextLayout* layout = document->firstBlock().layout();
        if (layout && layout->lineCount() > 0) {
            const QTextLine line = layout->lineAt(0);
            int offset = 0;
            for (const auto& character : styled_.characters()) {
                const int length = int(QString::fromStdString(character.text).size());
                if (character.background && character.background->alpha > 0) {
                    const double x1 = line.cursorToX(offset), x2 = line.cursorToX(offset + length);
                    const QRectF box(x1 - 2 * kTextLayoutScale, line.y(),
                                     x2 - x1 + 4 * kTextLayoutScale, line.height());
                    QPainterPath path;
                    path.addRoundedRect(box, 3 * kTextLayoutScale, 3 * kTextLayoutScale);
                    p.fillPath(path, toQColor(toColor(*character.background)));
                }
                offset += length;
            }
        }
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, 0, local.width() * kTextLayoutScale, document->size().height());
        document->documentLayout()->draw(&p, context);
    });
}

}  // namespace wv
