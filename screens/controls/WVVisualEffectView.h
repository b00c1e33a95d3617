#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/Layer.h"
#include "platform/ui/View.h"

namespace wv {

// The dark backdrop of a screen: a dark fill (its layer's background) under the "bg"
// texture, which `transparentLayer` lays over it at OPACITY each time the view is about to
// change windows (moved, never doubled). It is opaque, so nothing behind it is drawn again
// when something in front changes. The parts asked for the first time (the first paint, a new
// size) are drawn in cells into a picture that paint drops when it is over; a part asked for
// again (a pulsing key, the line) is copied from a picture of the backdrop whose cells are
// drawn then and kept, so memory goes only to the parts that change in front, and a change
// costs a copy.
class WVVisualEffectView : public View {
  public:
    static const Color& defaultFill();

    explicit WVVisualEffectView(const Rect& frame = {});
    ~WVVisualEffectView() override;

    std::shared_ptr<Layer> transparentLayer = std::make_shared<Layer>();
    const float OPACITY = 0.4f;

    void viewWillMoveToWindow(Window* newWindow) override;
    void frameSizeChanged(Size oldSize) override;
    // Draws the part `area` of the backdrop (Qt coordinates of this view) into `target`, for a
    // view in front that paints what lies under it itself.
    void drawArea(QPainter& painter, const QRectF& target, const QRect& area);

    // How many pixels of the backdrop its pictures hold drawn now.
    size_t keptPixels() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // What the picture was drawn from; a change of any of it drops it.
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
    // Draws the part `area` (this view's coordinates) with `painter` already placed so that
    // the view's origin lies where it should.
    void drawDirectly(QPainter& painter, const QRect& area);
    // What drawDirectly does, for `root` and its sublayers drawn at `size`.
    static void drawLayers(QPainter& painter, const Layer& root, const QRect& area, QSize size,
                           bool blackUnder, bool upward);
    // Until its first paint, the view draws its whole picture ahead on the pool's threads from
    // the moment it has a window and a size, while the rest of the window is built; the first
    // paint takes it if nothing it was drawn from changed since, and helps finish it.
    class Ahead;
    void drawAhead(Window* window);
    void dropAhead();
    // Whether every cell under `area` was asked for before; marks them asked.
    bool askedBefore(const QRect& area);
    // The picture, with every cell under `area` drawn.
    const QImage& pictureOf(const QRect& area);
    // A picture of parts asked for the first time, with every cell under `area` drawn: the
    // first paint asks for the backdrop in many small parts (the keyboard's gaps, then each
    // key), and drawn straight each would lay the whole texture again. Dropped once the paint
    // is over.
    const QImage& firstPictureOf(const QRect& area);
    // Draws the cells under `area` that `drawn` does not hold into `picture`, a run of cells
    // at a time.
    void drawCells(QImage& picture, std::vector<bool>& drawn, const QRect& area);

    QImage picture_;
    QImage firstPicture_;
    std::vector<bool> firstDrawnCells_;
    enum class Asked : uint8_t { Never, InThisPaint, Before };
    std::vector<Asked> askedCells_;
    std::vector<bool> drawnCells_;
    bool settling_ = false;
    bool painted_ = false;
    std::shared_ptr<Ahead> ahead_;
    int columns_ = 0;
    Key pictureKey_;
};

}  // namespace wv
