#pragma once

#include <QPainter>
#include <functional>

#include "platform/ui/Image.h"
#include "platform/ui/values/AttributedString.h"
#include "platform/ui/values/Color.h"
#include "platform/ui/values/Geometry.h"

namespace wv {

// Drawing in a view's own coordinates, which grow upward unless the view is flipped. Pictures
// and text always come out upright, as they would on the desktop the screens were drawn for.
class Graphics {
public:
    // True when the painter's y axis grows upward.
    static bool isUpward(const QPainter& painter);
    // Runs `body` with the painter moved to the top-left corner of `r`, y growing downward;
    // `local` is (0, 0, width, height).
    static void upright(QPainter& painter, const Rect& r, const std::function<void(QPainter&, const QRectF& local)>& body);

    static void fill(QPainter& painter, const Rect& r, const Color& color);
    static void drawImage(QPainter& painter, const Image& image, const Rect& r, double fraction = 1.0,
                          QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver);
    // Lays the text out at the width of `r` (breaking lines when `wrap`) and draws it from the
    // top of `r`.
    static void drawText(QPainter& painter, const AttributedString& text, const Rect& r, bool wrap = true);
};

}  // namespace wv
