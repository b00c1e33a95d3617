#pragma once

#include <QImage>
#include <memory>
#include <optional>

#include "platform/ui/Layer.h"
#include "platform/ui/View.h"

namespace wv {

// The dark backdrop of a screen: a dark fill (its layer's background) under the "bg"
// texture, which `transparentLayer` lays over it at OPACITY each time the view is about to
// change windows (moved, never doubled). It is opaque and keeps a picture of itself per size,
// so a change in front of it never costs a repaint of the texture.
class WVVisualEffectView : public View {
  public:
    static const Color& defaultFill();

    explicit WVVisualEffectView(const Rect& frame = {});

    std::shared_ptr<Layer> transparentLayer = std::make_shared<Layer>();
    const float OPACITY = 0.4f;

    void viewWillMoveToWindow(Window* newWindow) override;
    // Draws the part `area` of the backdrop (Qt coordinates of this view) into `target`, for a
    // view in front that paints what lies under it itself.
    void drawArea(QPainter& painter, const QRectF& target, const QRect& area);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // What the cached picture was made from; a change of any of it makes a new one.
    struct Key {
        int width = -1, height = -1;
        std::optional<Color> fill;
        const void* contents = nullptr;
        double opacity = -1;
        size_t sublayers = 0;
        bool operator==(const Key&) const = default;
    };
    Key currentKey();
    // Whether the layer's own fill leaves no pixel of what lay beneath.
    bool fillsOpaquely();
    // The cached picture, made again when anything it shows has changed.
    const QImage& picture();

    QImage cache_;
    Key cacheKey_;
};

}  // namespace wv
