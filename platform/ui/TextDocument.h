#pragma once

#include <QTextDocument>
#include <memory>

#include "platform/ui/values/AttributedString.h"

namespace wv {

// The Qt text document of an attributed string: the one layout that both measuring and
// drawing use. `width` < 0 lays the text out on unbounded lines; without `wrap` lines are not
// broken, but the width still places aligned text.
std::unique_ptr<QTextDocument> makeTextDocument(const AttributedString& text, double width = -1,
                                                bool wrap = true);

}  // namespace wv
