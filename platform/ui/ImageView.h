#pragma once

#include "platform/ui/Image.h"
#include "platform/ui/ImageScaling.h"
#include "platform/ui/View.h"

namespace wv {

// Shows one picture, centred and scaled as its scaling says.
class ImageView : public View {
  public:
    explicit ImageView(const Rect& frame = {}, ImagePtr image = nullptr);

    ImagePtr image() const { return image_; }
    void setImage(ImagePtr image);
    ImageScaling imageScaling() const { return scaling_; }
    void setImageScaling(ImageScaling scaling);
    // Where the picture has pixels now, in the view's coordinates (empty: nowhere).
    Rect drawnRect() const { return drawnRect(image_.get()); }

  protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;
    void paintEvent(QPaintEvent* event) override;
    void viewWillMoveToWindow(Window* newWindow) override;
    void frameSizeChanged(Size oldSize) override;

  private:
    // Until its first paint, tells the picture the size it will be drawn at in `window`.
    void prepareImage(Window* window);
    // Where `image` would be drawn now, in the view's coordinates (empty: nowhere).
    Rect drawnRect(const Image* image) const;

    ImagePtr image_;
    ImageScaling scaling_ = ImageScaling::ProportionallyDown;
    bool painted_ = false;
};

}  // namespace wv
