#pragma once

#include <QImage>
#include <optional>

#include "platform/ui/Layer.h"
#include "platform/ui/values/AttributedString.h"

namespace wv {

// The caption of a key: its text centred in the layer. The text is drawn once into a picture
// at the screen's pixel density and that picture is shown until the text or the size changes.
// The picture holds the caption's own rectangle, not the whole layer: a caption covers a small
// part of its key, and a keyboard has some fifty.
class TitleLayer : public Layer {
  public:
    std::optional<AttributedString> attrStr;

    // The rectangle the caption takes in a layer of `size` (y downward): its used rectangle
    // moved to the middle.
    static Rect captionRect(const AttributedString& text, Size size);

  protected:
    void drawInContext(QPainter& painter, const QRectF& local) const override;

  private:
    mutable QImage cache_;
    mutable QPoint cacheAt_;  // where the picture lies in the layer, in pixels
    mutable QSize cachedFor_;  // the layer's size in pixels
    mutable std::optional<AttributedString> cachedText_;
};

}  // namespace wv
