#pragma once

#include <QImage>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/values/Geometry.h"

class QPainter;
class QRectF;

namespace wv {

class Image;
using ImagePtr = std::shared_ptr<const Image>;

// A picture with a natural size in points. Named images are drawn in code: their painter is
// asked to draw at the size they are shown at, so they stay crisp at every scale and a
// resizable picture (a key, a bubble) keeps its corners when stretched. Images made from
// pixels (snapshots) are scaled.
class Image {
  public:
    // Draws the picture into the rectangle (0, 0, size), y growing downward.
    using Painter = std::function<void(QPainter&, Size)>;
    // Makes ready what drawing at `size` on a device of `scale` pixels per point will need.
    using Preparer = std::function<void(Size size, double scale)>;

    Image(Size size, Painter painter, std::string name = {});
    Image(QImage pixels, double scale);

    Size size() const { return size_; }
    const std::string& name() const { return name_; }

    // Draws into `target` (Qt coordinates of the painter, y downward).
    void draw(QPainter& painter, const QRectF& target, double opacity = 1.0) const;
    // Said by a view that will draw the picture at `size` on a device of `scale` pixels per
    // point, before its first paint: a picture that keeps what it drew may begin drawing it
    // now, elsewhere. Most pictures have nothing to do.
    void prepare(Size size, double scale) const {
        if (preparer_) preparer_(size, scale);
    }
    // The picture at its natural size rendered `scale` pixels per point.
    QImage render(double scale, Size size = {}) const;
    // The part of (0, 0, size) that the picture covers with pixels that are not transparent, y
    // downward: found once by drawing it at its natural size, the whole rectangle for a picture
    // made from pixels, empty for one that draws nothing. A view that swaps one picture for
    // another of the same outline need only draw this part again.
    Rect drawnBounds() const;
    // Whether drawnBounds() has been found already (and now costs nothing).
    bool knowsDrawnBounds() const {
        return outlineOf_ ? outlineOf_->knowsDrawnBounds()
                          : boundsKnown_.load(std::memory_order_acquire);
    }

    // Names of pictures the application draws; registering a name again replaces its picture.
    static void registerNamed(std::string name, Size size, Painter painter);
    // As above, for a picture whose drawing knows where it puts pixels: drawnBounds() answers
    // with `drawnBounds` (whole pixels at the natural size, y downward) without drawing it.
    static void registerNamed(std::string name, Size size, Painter painter, Rect drawnBounds);
    // Registers a picture that draws as `original` does, only another way (from pixels kept
    // for the sizes it is shown at): it has the original's size, and its drawn bounds are the
    // original's, found from the original's own drawing. Finding them through `painter` would
    // leave it holding a picture at the natural size, which is rarely the size shown.
    // `preparer`, if any, is what prepare() asks of it.
    static void registerNamedLike(std::string name, ImagePtr original, Painter painter,
                                  Preparer preparer = {});
    static ImagePtr named(std::string_view name);       // nullptr when no such picture exists
    static std::vector<std::string> registeredNames();  // in the order registered

  private:
    Size size_;
    Painter painter_;
    Preparer preparer_;
    QImage pixels_;
    std::string name_;
    ImagePtr outlineOf_;  // the picture whose drawn bounds are this one's, if any
    mutable std::once_flag boundsFound_;
    mutable Rect drawnBounds_;
    mutable std::atomic<bool> boundsKnown_{false};
};

}  // namespace wv
