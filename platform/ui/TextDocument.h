#pragma once

#include <QTextDocument>
#include <memory>

#include "platform/ui/values/AttributedString.h"

namespace wv {

// Qt draws fonts at whole pixel sizes only. Text is laid out this many times larger, then
// measured and drawn scaled down, so a fitted size of 17.5 points looks and measures like
// 17.5 points and not like 18.
inline constexpr double kTextLayoutScale = 4.0;

// The Qt text document of an attributed string: the one layout that both measuring and
// drawing use, in units of 1 / kTextLayoutScale points. `width` < 0 lays the text out on unbounded lines; without `wrap` lines are not
// broken, but the width still places aligned text.
std::unique_ptr<QTextDocument> makeTextDocument(const AttributedString& text, double width = -1,
                                                bool wrap = true);

// The document makeTextDocument makes, shared with the last two laid out on this thread: a
// caption is measured and then drawn at the same width, and laying it out again would cost as
// much as the first time. Text laid out without breaking lines may get a document made to break
// them that broke none: its lines are the same.
std::shared_ptr<const QTextDocument> laidOutText(const AttributedString& text, double width = -1,
                                                 bool wrap = true);

}  // namespace wv
