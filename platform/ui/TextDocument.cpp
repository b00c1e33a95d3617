#include "platform/ui/TextDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <cmath>

#include "platform/ui/QtConvert.h"

namespace wv {

namespace {
Qt::Alignment qtAlignment(TextAlignment alignment) {
    switch (alignment) {
        case TextAlignment::Center: return Qt::AlignHCenter;
        case TextAlignment::Right: return Qt::AlignRight;
        case TextAlignment::Justified: return Qt::AlignJustify;
        case TextAlignment::Left:
        case TextAlignment::Natural: break;
    }
    return Qt::AlignLeft;
}

QTextCharFormat charFormat(const TextAttributes& a) {
    QTextCharFormat format;
    format.setFont(toQFont(a.font.value_or(Font::system())));
    format.setForeground(toQColor(a.foreground.value_or(Color::black())));
    if (a.kern) format.setFontLetterSpacingType(QFont::AbsoluteSpacing), format.setFontLetterSpacing(*a.kern);
    if (a.expansion) format.setFontStretch(std::clamp(int(std::lround(100 * std::exp(*a.expansion))), 1, 4000));
    return format;
}
}  // namespace

std::unique_ptr<QTextDocument> makeTextDocument(const AttributedString& text, double width, bool wrap) {
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentMargin(0);
    document->setUndoRedoEnabled(false);
    QTextOption option;
    const ParagraphStyle paragraph = text.attributesAtStart().paragraph.value_or(ParagraphStyle{});
    option.setAlignment(qtAlignment(paragraph.alignment));
    option.setWrapMode(width < 0 || !wrap ? QTextOption::NoWrap : QTextOption::WrapAtWordBoundaryOrAnywhere);
    document->setDefaultTextOption(option);
    document->setDefaultFont(toQFont(text.attributesAtStart().font.value_or(Font::system())));

    QTextCursor cursor(document.get());
    QTextBlockFormat block;
    block.setAlignment(qtAlignment(paragraph.alignment));
    if (paragraph.lineSpacing > 0) block.setLineHeight(paragraph.lineSpacing, QTextBlockFormat::LineDistanceHeight);
    cursor.setBlockFormat(block);
    for (const auto& run : text.runs()) cursor.insertText(toQString(run.text), charFormat(run.attributes));
    // Extra line spacing goes between lines, not under the last one.
    if (paragraph.lineSpacing > 0) {
        QTextCursor all(document.get());
        all.select(QTextCursor::Document);
        all.mergeBlockFormat(block);
    }
    document->setTextWidth(width < 0 ? -1 : width);
    return document;
}

}  // namespace wv
