#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/Finger.h"
#include "app/WVFingersView.h"
#include "app/tests/AppTestSupport.h"
#include "platform/ui/Image.h"

namespace wv {
namespace {

TEST(Finger, RawValuesInOrderAndExactMatchOnly) {
    const char* names[] = {"leftFinger1",  "leftFinger2",  "leftFinger3",  "leftFinger4",
                           "leftFinger5",  "rightFinger1", "rightFinger2", "rightFinger3",
                           "rightFinger4", "rightFinger5"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(rawValue(finger(i)), names[i]);
        EXPECT_EQ(fingerFromRawValue(names[i]), finger(i));
    }
    for (const char* other : {"", "leftFinger", "leftFinger6", "LeftFinger1", "leftFinger1 "})
        EXPECT_FALSE(fingerFromRawValue(other)) << other;
}

class FingersViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        view = std::make_unique<WVFingersView>(Rect(0, 0, 780, 267));
    }
    // The picture each finger shows now.
    std::string shown(finger f) {
        ImagePtr image = view->imageView(f)->image();
        return image ? image->name() : "";
    }
    std::vector<finger> active() {
        std::vector<finger> lit;
        for (int i = 0; i < 10; ++i)
            if (shown(finger(i)) == std::string(rawValue(finger(i))) + "Active")
                lit.push_back(finger(i));
        return lit;
    }
    std::unique_ptr<WVFingersView> view;
};

TEST_F(FingersViewTest, EveryFingerStartsInactive) {
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(shown(finger(i)), std::string(rawValue(finger(i))) + "Inactive");
    EXPECT_FALSE(view->currentFingers);
}

TEST_F(FingersViewTest, EachZoneLightsItsFingers) {
    struct Case {
        int zone;
        std::vector<finger> fingers;  // in the order fingersForZone gives them
    };
    const Case cases[] = {
        {0, {finger::leftFinger1}},
        {1, {finger::leftFinger2}},
        {2, {finger::leftFinger3}},
        {3, {finger::leftFinger4}},
        {4, {finger::rightFinger4}},
        {5, {finger::rightFinger3}},
        {6, {finger::rightFinger2}},
        {7, {finger::rightFinger1}},
        {-1, {finger::rightFinger5, finger::leftFinger5}},
        {8, {finger::rightFinger5, finger::leftFinger5}},
        {12, {finger::rightFinger5, finger::leftFinger5}},
    };
    for (const Case& c : cases) {
        const auto pairs = view->fingersForZone(c.zone);
        ASSERT_EQ(pairs.size(), c.fingers.size()) << c.zone;
        for (size_t i = 0; i < pairs.size(); ++i) {
            EXPECT_EQ(pairs[i].first, c.fingers[i]) << c.zone;
            EXPECT_EQ(pairs[i].second, view->imageView(c.fingers[i])) << c.zone;
        }
        view->showFingers(c.zone);
        std::vector<finger> expected = c.fingers;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(active(), expected) << "zone " << c.zone << ": only its fingers lit";
        EXPECT_FALSE(view->isHidden());
    }
}

TEST_F(FingersViewTest, NoneHidesTheHandsAndUnlightsTheFinger) {
    view->showFingers(2);
    view->showFingers(std::nullopt);
    EXPECT_TRUE(view->isHidden());
    EXPECT_EQ(shown(finger::leftFinger3), "leftFinger3Inactive");
    ASSERT_TRUE(view->currentFingers) << "remembered as it was";
    EXPECT_EQ(view->currentFingers->front().first, finger::leftFinger3);
    view->showFingers(5);
    EXPECT_FALSE(view->isHidden());
    EXPECT_EQ(active(), std::vector<finger>{finger::rightFinger3});
}

TEST_F(FingersViewTest, SameZoneTwiceStaysLit) {
    view->showFingers(-1);
    view->showFingers(-1);
    EXPECT_EQ(active(), (std::vector<finger>{finger::leftFinger5, finger::rightFinger5}));
}

TEST_F(FingersViewTest, ResetTouchesOnlyTheCurrentFingers) {
    view->showFingers(0);
    view->leftFinger2->setImage(Image::named("leftFinger2Active"));
    view->resetFingers();
    EXPECT_EQ(shown(finger::leftFinger1), "leftFinger1Inactive");
    EXPECT_EQ(shown(finger::leftFinger2), "leftFinger2Active") << "not one of the current fingers";
}

TEST_F(FingersViewTest, HandsStayInsideTheViewAtEverySize) {
    for (Size size : {Size{780, 267}, Size{1170, 401}}) {
        view->setFrameSize(size);
        for (int i = 0; i < 10; ++i) {
            const Rect f = view->imageView(finger(i))->frame();
            EXPECT_GE(f.minX(), 0.0);
            EXPECT_LE(f.maxX(), size.width);
            EXPECT_GE(f.minY(), 0.0);
            EXPECT_LT(f.minY(), size.height * 0.5) << "the fingertips reach the home row";
        }
        EXPECT_LT(view->leftFinger1->frame().maxX(),
                  view->rightFinger1->frame().minX() + size.width * 0.2);
    }
}

// Where the picture, drawn at its natural size, has pixels that are not transparent.
Rect pixelsFound(const Image& image) {
    const QImage drawn = image.render(1.0);
    int top = drawn.height(), bottom = -1, left = drawn.width(), right = -1;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            if (qAlpha(drawn.pixel(x, y))) {
                top = std::min(top, y), bottom = y;
                left = std::min(left, x), right = std::max(right, x);
            }
    return bottom < 0 ? Rect() : Rect(left, top, right + 1 - left, bottom + 1 - top);
}

// The hands' pictures say where they have pixels without being drawn; the views keep their
// repaints to that place, so a finger left outside it would be cut off on screen.
TEST(HandPictures, SayWhereTheyHavePixelsCloselyAndWithoutDrawing) {
    test::application();
    std::vector<std::string> names;
    for (const char* side : {"left", "right"}) {
        names.push_back(std::string(side) + "Hand");
        for (int i = 1; i <= 5; ++i)
            for (const char* state : {"Active", "Inactive"})
                names.push_back(side + std::string("Finger") + std::to_string(i) + state);
    }
    for (const std::string& name : names) {
        const ImagePtr image = Image::named(name);
        ASSERT_TRUE(image) << name;
        EXPECT_TRUE(image->knowsDrawnBounds()) << name;
        const Rect said = image->drawnBounds(), found = pixelsFound(*image);
        ASSERT_FALSE(found.isEmpty()) << name;
        EXPECT_LE(said.minX(), found.minX()) << name;
        EXPECT_LE(said.minY(), found.minY()) << name;
        EXPECT_GE(said.maxX(), found.maxX()) << name;
        EXPECT_GE(said.maxY(), found.maxY()) << name;
        // Close, too: each side at most two pixels out.
        for (double out : {found.minX() - said.minX(), found.minY() - said.minY(),
                           said.maxX() - found.maxX(), said.maxY() - found.maxY()})
            EXPECT_LE(out, 2.0) << name;
    }
}

}  // namespace
}  // namespace wv
