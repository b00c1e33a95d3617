#pragma once

#include <QImage>
#include <optional>

#include "platform/ui/Layer.h"
#include "platform/ui/values/AttributedString.h"

namespace wv {

// The caption of a key: its text centred in the layer. The text is drawn once into a picture
// at the screen's pixel density and that picture is shown until the text or the size changes.
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
    mutable std::optional<AttributedString> cachedText_;
};

}  // namespace wv
