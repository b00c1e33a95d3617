#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Animation.h"
#include "platform/ui/Image.h"
#include "platform/ui/values/Color.h"
#include "platform/ui/values/Geometry.h"

class QPainter;
class QRegion;

namespace wv {

class View;

// A rectangle of drawing that belongs to a view: background colour, rounded corners,
// contents picture or its own drawing, opacity, and sublayers drawn on top in order. A view's
// root layer covers its bounds; a sublayer's frame is in its superlayer's coordinates, which
// grow in the same direction as the host view's. Animations added to a layer change only what
// is shown (the presentation values); the properties keep their model values. Make layers
// with std::make_shared: an animation's end is reported through a weak reference.
class Layer : public std::enable_shared_from_this<Layer> {
  public:
    enum Autoresizing : unsigned { WidthSizable = 2, HeightSizable = 16 };

    Layer() = default;
    virtual ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    Rect frame() const { return frame_; }
    void setFrame(const Rect& frame);
    Rect bounds() const { return Rect(0, 0, frame_.width(), frame_.height()); }
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    std::optional<Color> backgroundColor() const { return background_; }
    void setBackgroundColor(std::optional<Color> color);
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);
    ImagePtr contents() const { return contents_; }
    void setContents(ImagePtr image);
    unsigned autoresizingMask() const { return autoresizing_; }
    void setAutoresizingMask(unsigned mask) { autoresizing_ = mask; }

    void addSublayer(std::shared_ptr<Layer> layer);
    void removeFromSuperlayer();
    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return sublayers_; }
    Layer* superlayer() const { return superlayer_; }

    // Adds (or replaces under the same key) an animation starting now.
    void addAnimation(Animation animation, const std::string& key);
    void removeAnimation(const std::string& key);
    void removeAllAnimations();
    const Animation* animationForKey(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    bool hasRunningAnimations() const;  // in this layer or its sublayers
    // Whether a running animation of this layer or a sublayer changes a frame.
    bool animatesFrame() const;

    double presentationOpacity() const;
    Rect presentationFrame() const;
    std::optional<Color> presentationBackgroundColor() const;

    // Asks the host view to draw again.
    void setNeedsDisplay();
    View* hostView() const;

    // Paints this layer and its sublayers into `target` (Qt coordinates of the painter);
    // `beforeSublayers` draws between the layer's own content and its sublayers.
    void render(QPainter& painter, const QRectF& target, bool upward,
                const std::function<void(QPainter&)>& beforeSublayers = {}) const;

  protected:
    // The layer's own drawing, in (0, 0, width, height) with y growing downward; draws
    // nothing unless overridden.
    virtual void drawInContext(QPainter& painter, const QRectF& local) const;
    // Whether the layer's geometry grows upward in the drawing now under way (its host view is
    // not flipped), for drawing that places things by the layer's own coordinates.
    bool isGeometryUpward() const { return upward_.load(std::memory_order_relaxed); }

  private:
    friend class View;
    // Adds to `region` (Qt coordinates of the host view) where this layer is drawn at `target`
    // when it or an ancestor (`inherited`) runs an animation; a moving layer adds all of its
    // superlayer's place, `parent`.
    void addAnimatedRegion(QRegion& region, const QRectF& target, const QRectF& parent, bool upward,
                           bool inherited) const;
    QRectF sublayerTarget(const Layer& sub, const QRectF& target, bool upward) const;
    void fillBackground(QPainter& painter, const QRectF& target, const QColor& color) const;
    void boundsChanged(Size from, Size to);
    void finishAnimations();
    void animationsChanged();
    double now() const;

    Rect frame_;
    bool hidden_ = false;
    double opacity_ = 1.0;
    std::optional<Color> background_;
    double cornerRadius_ = 0;
    ImagePtr contents_;
    unsigned autoresizing_ = 0;
    std::vector<std::shared_ptr<Layer>> sublayers_;
    Layer* superlayer_ = nullptr;
    View* host_ = nullptr;  // set on a view's root layer only
    std::vector<std::pair<std::string, Animation>> animations_;
    // Atomic: a copy of a backdrop's layers is drawn in bands by several threads at once.
    mutable std::atomic<bool> upward_{true};
    // The rounded background as last drawn on whole pixels (see fillBackground).
    mutable QImage shape_;
    mutable QRectF shapeRect_;
    mutable double shapeRadius_ = 0;
    mutable QColor shapeColor_;
};

}  // namespace wv
