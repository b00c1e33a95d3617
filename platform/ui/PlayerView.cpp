#include "platform/ui/PlayerView.h"

#include "platform/ui/Graphics.h"
#include "platform/ui/ImageScaling.h"

namespace wv {

PlayerView::PlayerView(const Rect& frame) : View(frame) {}

PlayerView::~PlayerView() {
    // The player may outlive the view in someone else's hands; it must not call back here.
    if (player_) player_->setFrameObserver(nullptr);
}

void PlayerView::setPlayer(std::shared_ptr<Player> player) {
    if (player_ == player) return;
    if (player_) player_->setFrameObserver(nullptr);
    player_ = std::move(player);
    if (player_) player_->setFrameObserver([this] { setNeedsDisplay(); });
    setNeedsDisplay();
}

void PlayerView::draw(QPainter& painter, const Rect&) {
    if (!player_ || player_->currentImage().isNull()) return;
    const QImage& frame = player_->currentImage();
    const Rect target = scaledImageRect(Size{double(frame.width()), double(frame.height())},
                                        bounds(), ImageScaling::ProportionallyUpOrDown);
    Graphics::upright(painter, target,
                      [&frame](QPainter& p, const QRectF& local) { p.drawImage(local, frame); });
}

}  // namespace wv
