#include "app/WVFingersView.h"

#include <QRegion>
#include <algorithm>
#include <cmath>
#include <string>

#include "app/artwork/Artwork.h"

namespace wv {

namespace {
// Over a 780 x 267 keyboard the hands are 286 x 180 (their pictures spread a little wider than
// drawn), so that the fingertips rest on the home row from A to F and from J to the key right
// of L, and the palms leave the keyboard at the bottom.
constexpr double kHandWidth = 286, kHandHeight = 180;
constexpr double kReferenceHeight = 267;
constexpr double kLeftHandX = 61, kRightHandX = 355, kHandsY = 105;
constexpr double kReferenceWidth = 780;
// The hands lie over the keys, which must still be read through them.
constexpr double kHandsAlpha = 0.6;

std::string imageName(finger f, bool active) {
    return std::string(rawValue(f)) + (active ? "Active" : "Inactive");
}
}  // namespace

WVFingersView::WVFingersView(const Rect& frame) : View(frame) {
    Artwork::registerAll();
    setFlipped(true);
    auto make = [this](const std::string& name) {
        auto* view = new ImageView(Rect(), Image::named(name));
        view->setImageScaling(ImageScaling::AxesIndependently);
        view->setAlphaValue(kHandsAlpha);
        addSubview(view);
        return view;
    };
    leftHand_ = make("leftHand");
    rightHand_ = make("rightHand");
    ImageView** outlets[] = {&leftFinger1,  &leftFinger2,  &leftFinger3,  &leftFinger4,
                             &leftFinger5,  &rightFinger1, &rightFinger2, &rightFinger3,
                             &rightFinger4, &rightFinger5};
    for (int i = 0; i < 10; ++i) *outlets[i] = make(imageName(finger(i), false));
    layoutHands();
}

void WVFingersView::frameSizeChanged(Size) { layoutHands(); }

void WVFingersView::layoutHands() {
    if (!leftHand_) return;
    const double sx = frame().width() / kReferenceWidth, sy = frame().height() / kReferenceHeight;
    const Rect left(kLeftHandX * sx, kHandsY * sy, kHandWidth * sx, kHandHeight * sy);
    const Rect right(kRightHandX * sx, kHandsY * sy, kHandWidth * sx, kHandHeight * sy);
    for (View* sub : subviews()) {
        const bool isLeft =
            sub == leftHand_ || (sub != rightHand_ && sub != rightFinger1 && sub != rightFinger2 &&
                                 sub != rightFinger3 && sub != rightFinger4 && sub != rightFinger5);
        sub->setFrame(isLeft ? left : right);
    }
    fitMaskToHands();
}

// The view lies over the whole keyboard, and Qt counts a child as covering its whole rectangle:
// showing or hiding the hands would draw every key again, and a key that changes (the pulse of
// the next key) would draw this view and its pictures with it, though the hands cover neither.
// A mask of the places the pictures have pixels in keeps both to where the hands are.
void WVFingersView::fitMaskToHands() {
    QRegion region;
    for (View* sub : subviews()) {
        auto* picture = dynamic_cast<ImageView*>(sub);
        if (!picture || picture->isHidden()) continue;
        const Rect r = picture->drawnRect();
        if (r.isEmpty()) continue;
        const double top = picture->isFlipped() ? r.y() : picture->frame().height() - r.maxY();
        const QRect inPicture(int(std::floor(r.x())), int(std::floor(top)),
                              int(std::ceil(r.width())) + 1, int(std::ceil(r.height())) + 1);
        region += inPicture.translated(picture->pos()) & rect();
    }
    // An empty region would take the mask away, and a new mask repaints what the view leaves
    // to its superview: set only one that differs.
    if (!region.isEmpty() && region != mask()) setMask(region);
}

ImageView* WVFingersView::imageView(finger f) const {
    switch (f) {
        case finger::leftFinger1:
            return leftFinger1;
        case finger::leftFinger2:
            return leftFinger2;
        case finger::leftFinger3:
            return leftFinger3;
        case finger::leftFinger4:
            return leftFinger4;
        case finger::leftFinger5:
            return leftFinger5;
        case finger::rightFinger1:
            return rightFinger1;
        case finger::rightFinger2:
            return rightFinger2;
        case finger::rightFinger3:
            return rightFinger3;
        case finger::rightFinger4:
            return rightFinger4;
        case finger::rightFinger5:
            return rightFinger5;
    }
    return nullptr;
}

std::vector<WVFingersView::FingerView> WVFingersView::fingersForZone(int zone) const {
    auto one = [this](finger f) { return std::vector<FingerView>{{f, imageView(f)}}; };
    switch (zone) {
        case 0:
            return one(finger::leftFinger1);
        case 1:
            return one(finger::leftFinger2);
        case 2:
            return one(finger::leftFinger3);
        case 3:
            return one(finger::leftFinger4);
        case 4:
            return one(finger::rightFinger4);
        case 5:
            return one(finger::rightFinger3);
        case 6:
            return one(finger::rightFinger2);
        case 7:
            return one(finger::rightFinger1);
        default:
            break;
    }
    return {{finger::rightFinger5, rightFinger5}, {finger::leftFinger5, leftFinger5}};
}

void WVFingersView::resetFingers() {
    if (!currentFingers) return;
    for (auto& [f, view] : *currentFingers)
        if (view) view->setImage(Image::named(imageName(f, false)));
}

void WVFingersView::showFingers(std::optional<int> zone) {
    if (!zone) {
        resetFingers();
        setHidden(true);
        return;
    }
    // Each finger's picture is set once to what it shows next: a finger that stays lit is not
    // put out and lit again, which would draw it (and the keys under it) for nothing.
    std::vector<FingerView> next = fingersForZone(*zone);
    auto staysLit = [&next](finger f) {
        return std::any_of(next.begin(), next.end(),
                           [f](const FingerView& n) { return n.first == f; });
    };
    if (currentFingers)
        for (auto& [f, view] : *currentFingers)
            if (view && !staysLit(f)) view->setImage(Image::named(imageName(f, false)));
    setHidden(false);
    currentFingers = std::move(next);
    for (auto& [f, view] : *currentFingers)
        if (view) view->setImage(Image::named(imageName(f, true)));
    fitMaskToHands();
}

}  // namespace wv
