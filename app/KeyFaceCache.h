#pragma once

#include <QImage>
#include <optional>
#include <string>

#include "platform/ui/Image.h"
#include "platform/ui/ImageScaling.h"
#include "platform/ui/values/AttributedString.h"
#include "platform/ui/values/Geometry.h"

class QPainter;

namespace wv {

class Button;

// The drawn face of a key (its picture and its cell's labels) kept as pixels: a keyboard is
// drawn whole on every key press, and most keys look the same as the frame before. The face
// is drawn again when anything it shows changes: picture, title, alignment, size, interface
// scale or pixel density. Faces without a title (character keys, whose caption is a layer of
// its own) that look the same share one picture: most keys of a keyboard do.
class KeyFaceCache {
  public:
    // `titleShown`: whether the cell draws anything of the title (a character key's cell does
    // not; its caption has a layer of its own), so a new caption need not draw the face again.
    void draw(QPainter& painter, Button& button, bool titleShown = true);
    void invalidate() { look_.reset(); }

  private:
    struct Look {
        ImagePtr image;
        AttributedString title;
        TextAlignment alignment;
        Size size;
        double scale;
        double density;
        bool enabled;
        bool operator==(const Look&) const = default;
    };
    // A face without a title, and what else of its key it shows: how the picture fits and dims.
    struct Shared {
        Look look;
        bool dims;
        ImageScaling scaling;
        QImage pixels;
    };
    static QImage drawFace(Button& button, Size size, double density);
    static QImage sharedFace(Button& button, const Look& look);
    QImage pixels_;
    std::optional<Look> look_;
};

}  // namespace wv
