#pragma once

#include <memory>

#include "platform/ui/Player.h"
#include "platform/ui/View.h"

namespace wv {

// Shows the latest frame of a Player, scaled to fit its bounds and centred, with nothing
// behind it. It paints the frame itself rather than handing the window to a video surface,
// so alpha, hiding, moving and snapshots act on it as on any other view.
class PlayerView : public View {
  public:
    explicit PlayerView(const Rect& frame = {});
    ~PlayerView() override;

    const std::shared_ptr<Player>& player() const { return player_; }
    // Shows `player`'s frames from now on (none: shows nothing); the view keeps it alive.
    void setPlayer(std::shared_ptr<Player> player);

  protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;

  private:
    std::shared_ptr<Player> player_;
};

}  // namespace wv
