#include "platform/ui/TextDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <cmath>
#include <deque>

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
    Font font = a.font.value_or(Font::system());
    font.pointSize *= kTextLayoutScale;
    format.setFont(toQFont(font));
    format.setForeground(toQColor(a.foreground.value_or(Color::black())));
    if (a.background) format.setBackground(toQColor(*a.background));
    if (a.kern) {
        format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        format.setFontLetterSpacing(*a.kern * kTextLayoutScale);
    }
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
    // Unhinted advances: text then grows in proportion to its font size, which fitting relies on.
    option.setUseDesignMetrics(true);
    option.setWrapMode(width < 0 || !wrap ? QTextOption::NoWrap : QTextOption::WrapAtWordBoundaryOrAnywhere);
    document->setDefaultTextOption(option);
    Font defaultFont = text.attributesAtStart().font.value_or(Font::system());
    defaultFont.pointSize *= kTextLayoutScale;
    document->setDefaultFont(toQFont(defaultFont));

    QTextCursor cursor(document.get());
    QTextBlockFormat block;
    block.setAlignment(qtAlignment(paragraph.alignment));
    if (paragraph.lineSpacing > 0) block.setLineHeight(paragraph.lineSpacing * kTextLayoutScale, QTextBlockFormat::LineDistanceHeight);
    cursor.setBlockFormat(block);
    for (const auto& run : text.runs()) cursor.insertText(toQString(run.text), charFormat(run.attributes));
    // Extra line spacing goes between lines, not under the last one.
    if (paragraph.lineSpacing > 0) {
        QTextCursor all(document.get());
        all.select(QTextCursor::Document);
        all.mergeBlockFormat(block);
    }
    document->setTextWidth(width < 0 ? -1 : width * kTextLayoutScale);
    return document;
}

namespace {
struct LaidOut {
    AttributedString text;
    double width;
    bool wrap;
    std::shared_ptr<const QTextDocument> document;
};

bool breaksNoLine(const QTextDocument& document) {
    document.size();  // lays it out
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        if (block.layout() && block.layout()->lineCount() > 1) return false;
    return true;
}
}  // namespace

std::shared_ptr<const QTextDocument> laidOutText(const AttributedString& text, double width,
                                                 bool wrap) {
    // A caption is drawn right after it is measured; a document kept longer only holds memory.
    constexpr size_t kKept = 2;
    thread_local std::deque<LaidOut> kept;
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (it->width != width || !(it->text == text)) continue;
        if (it->wrap != wrap && (wrap || !breaksNoLine(*it->document))) continue;
        LaidOut found = std::move(*it);
        kept.erase(it);
        kept.push_back(std::move(found));
        return kept.back().document;
    }
    std::shared_ptr<const QTextDocument> document = makeTextDocument(text, width, wrap);
    if (kept.size() == kKept) kept.pop_front();
    kept.push_back({text, width, wrap, document});
    return document;
}

}  // namespace wv
