#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "app/Finger.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/View.h"

namespace wv {

// The two hands over the keyboard: the whole hands, and one picture per finger over them.
// The finger that types the next key shows its "Active" picture, the others "Inactive".
// Finger zones: 0..3 left little..index, 4..7 right index..little, anything else both thumbs.
class WVFingersView : public View {
  public:
    using FingerView = std::pair<finger, ImageView*>;

    // Makes the hands and their ten finger pictures, all inactive, laid out in the frame.
    explicit WVFingersView(const Rect& frame = {});

    ImageView* leftFinger1 = nullptr;
    ImageView* leftFinger2 = nullptr;
    ImageView* leftFinger3 = nullptr;
    ImageView* leftFinger4 = nullptr;
    ImageView* leftFinger5 = nullptr;
    ImageView* rightFinger1 = nullptr;
    ImageView* rightFinger2 = nullptr;
    ImageView* rightFinger3 = nullptr;
    ImageView* rightFinger4 = nullptr;
    ImageView* rightFinger5 = nullptr;
    // The fingers shown active now; none before the first zone.
    std::optional<std::vector<FingerView>> currentFingers;

    virtual std::vector<FingerView> fingersForZone(int zone) const;
    // Lights the fingers of the zone and shows the view; none hides the view.
    virtual void showFingers(std::optional<int> zone);
    // Returns the current fingers to their inactive pictures.
    virtual void resetFingers();

    ImageView* imageView(finger f) const;

  protected:
    void frameSizeChanged(Size oldSize) override;

  private:
    void layoutHands();
    // Keeps the view to where its pictures have pixels (see the definition).
    void fitMaskToHands();
    ImageView* leftHand_ = nullptr;
    ImageView* rightHand_ = nullptr;
};

}  // namespace wv
