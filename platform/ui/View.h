#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Animation.h"
#include "platform/ui/MouseEvent.h"
#include "platform/ui/values/Geometry.h"

class QGraphicsOpacityEffect;

namespace wv {

class Layer;
class ViewController;
class ViewAnimator;
class Window;

// A rectangle of the interface with the geometry of the desktop the screens were designed
// on: a frame in the superview's coordinates, which grow upward from its bottom-left corner
// unless the superview is flipped. This class is the one place where such frames become Qt
// widget geometry. Subviews are kept in order, back to front; a view owns its subviews.
class View : public QWidget {
  public:
    enum Autoresizing : unsigned {
        NotSizable = 0,
        MinXMargin = 1,
        WidthSizable = 2,
        MaxXMargin = 4,
        MinYMargin = 8,
        HeightSizable = 16,
        MaxYMargin = 32
    };

    explicit View(const Rect& frame = {});
    ~View() override;

    Rect frame() const { return frame_; }
    virtual void setFrame(const Rect& frame);
    void setFrameOrigin(Point origin) { setFrame(Rect(origin, frame_.size)); }
    void setFrameSize(Size size) { setFrame(Rect(frame_.origin, size)); }
    Rect bounds() const { return Rect(0, 0, frame_.width(), frame_.height()); }
    virtual bool isFlipped() const { return flipped_; }
    void setFlipped(bool flipped);
    unsigned autoresizingMask() const { return autoresizing_; }
    void setAutoresizingMask(unsigned mask) { autoresizing_ = mask; }

    double alphaValue() const { return alpha_; }
    void setAlphaValue(double alpha);
    bool isHidden() const { return hidden_; }
    void setVisible(bool visible) override;  // QWidget's setHidden/show/hide come here
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    void addSubview(View* view);
    void removeFromSuperview();  // the caller owns the view afterwards
    const std::vector<View*>& subviews() const { return subviews_; }
    View* superview() const { return superview_; }
    View* viewWithTag(int tag);
    bool isDescendantOf(const View* view) const;
    Window* window() const;
    ViewController* viewController() const { return controller_; }

    void setNeedsDisplay(bool needed = true);
    void setNeedsDisplayInRect(const Rect& rect);
    bool needsDisplay() const { return needsDisplay_; }

    // A view whose drawing is cheap to repeat (pictures drawn once and kept) may be drawn in
    // bands of few rows: Qt's raster engine hands a tall blend to its thread pool and waits.
    void setDrawsInBands(bool bands) { drawsInBands_ = bands; }
    bool drawsInBands() const { return drawsInBands_; }

    // Drawn first in every paint of this view, over the region being painted, in the view's Qt
    // coordinates: what lies under a view its parent keeps opaque. It leaves the painter's
    // state as it found it.
    using Underlay = std::function<void(QPainter& painter, const QRegion& region)>;
    void setUnderlay(Underlay underlay) { underlay_ = std::move(underlay); }

    // Converts between this view's coordinates and the window content's (y upward).
    Point convertPointFromWindow(Point p) const;
    Point convertPointToWindow(Point p) const;
    Rect convertRectToView(const Rect& r, const View* other) const;  // other = nullptr: window

    // The view's root layer, made on first use. A view with a layer draws the layer's
    // background and contents, then its own drawing, then the sublayers; subviews come on top.
    Layer* layer();
    bool wantsLayer() const { return rootLayer_ != nullptr; }
    void setLayer(std::shared_ptr<Layer> layer);

    // Changes made through the animator animate (see AnimationContext).
    ViewAnimator animator();
    Rect presentationFrame() const;
    double presentationAlpha() const;
    bool hasRunningAnimations() const;
    // Whether a running animation moves or resizes the view or one of its layers.
    bool animatesGeometry() const;
    void removeViewAnimations();
    // Asks for the part of the view that its layers' running animations change to be drawn
    // again (changes of the view's own frame and alpha ask for themselves).
    void updateAnimatedRegion();
    // Shown, in a window that is shown, not minimised and exposed by the windowing system.
    bool isOnScreen() const;
    // Moves the widget (and, with `recursive`, its subviews) to the presentation values.
    void applyPresentation(bool recursive);
    // Draws the view and its subviews as they are shown now, `scale` pixels per point.
    QImage snapshot(double scale = 1.0);

    // Pointer events; by default passed on to the view's controller or the superview.
    virtual void mouseDown(const MouseEvent& event);
    virtual void mouseUp(const MouseEvent& event);
    virtual void mouseDragged(const MouseEvent& event);
    virtual void mouseMoved(const MouseEvent& event);
    virtual void mouseEntered(const MouseEvent& event);
    virtual void mouseExited(const MouseEvent& event);
    virtual void scrollWheel(const MouseEvent& event);
    // Enables mouseMoved/Entered/Exited (a tracking area over the bounds).
    void setTracksMouse(bool tracks);

    // Called on the view and each of its subviews just before they enter another window, or
    // leave theirs (`newWindow` nullptr), whether they move themselves or with an ancestor.
    virtual void viewWillMoveToWindow(Window* newWindow) { (void)newWindow; }

  protected:
    // The view's own drawing, in its own coordinates (see Graphics for upright pictures).
    virtual void draw(QPainter& painter, const Rect& dirtyRect);
    // After the frame's size changed (subviews with autoresizing masks are already placed).
    virtual void frameSizeChanged(Size oldSize) { (void)oldSize; }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    friend class ViewAnimator;
    friend class ViewController;
    friend class Window;
    void animate(const std::string& keyPath, AnimatedValue to);
    void applyGeometry(const Rect& frame);
    void layoutSubviewsAfterResize(Size oldSize);
    void applyAlpha(double alpha);
    // Draws the layers and the view's own drawing where `dirty` (Qt coordinates) asks.
    void paintPiece(QPainter& painter, const QRect& dirty);
    MouseEvent makeEvent(const QPointF& widgetPosition, int clickCount) const;
    void announceWindow(Window* newWindow);
    void detachFromSuperview();
    bool passMouse(void (View::*handler)(const MouseEvent&), const MouseEvent& event);

    Rect frame_;
    bool flipped_ = false;
    unsigned autoresizing_ = NotSizable;
    double alpha_ = 1.0;
    bool hidden_ = false;
    int tag_ = -1;
    bool needsDisplay_ = true;
    bool drawsInBands_ = false;
    Underlay underlay_;
    bool mouseHandled_ = true;
    std::vector<View*> subviews_;
    View* superview_ = nullptr;
    ViewController* controller_ = nullptr;
    std::shared_ptr<Layer> rootLayer_;
    std::map<std::string, Animation> animations_;
    QGraphicsOpacityEffect* opacityEffect_ = nullptr;
    double paintAlpha_ = 1.0;  // the alpha a childless view paints itself with
    QPointF lastDragPosition_;
    int clickCount_ = 1;
};

// Animating stand-in for a view's setters (see AnimationContext).
class ViewAnimator {
  public:
    explicit ViewAnimator(View* view) : view_(view) {}
    void setAlphaValue(double alpha);
    void setFrame(const Rect& frame);
    void setFrameOrigin(Point origin);
    void setFrameSize(Size size);

  private:
    View* view_;
};

}  // namespace wv
