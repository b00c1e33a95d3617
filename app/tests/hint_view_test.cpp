#include <gtest/gtest.h>

#include <memory>

#include "app/WVHintView.h"
#include "app/tests/AppTestSupport.h"
#include "app/tests/FixedTextMeasurer.h"
#include "platform/ui/TextField.h"

namespace wv {
namespace {

class HintViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        hint = std::make_unique<WVHintView>(Rect(0, 0, 500, 150));
        ASSERT_EQ(hint->iconView->frame(), Rect(10, 10, 52, 23));
    }
    // Every text measures `textSize`, so the layout is exact.
    void measure(Size textSize) {
        measurer = std::make_unique<ScopedTextMeasurer>(
            std::make_shared<test::FixedTextMeasurer>(Rect(0, 0, textSize.width, textSize.height)));
    }
    std::vector<Rect> capFrames() const {
        std::vector<Rect> frames;
        for (View* sub : hint->keyContainer->subviews())
            if (dynamic_cast<ImageView*>(sub)) frames.push_back(sub->frame());
        return frames;
    }
    std::unique_ptr<ScopedTextMeasurer> measurer;
    std::unique_ptr<WVHintView> hint;
};

TEST_F(HintViewTest, EnterTipHasOneWideCapBeforeTheText) {
    measure(Size{200, 16});
    hint->showHint(WVHintIconStyle::info, AttributedString("Press Enter"), {"Enter"},
                   WVKeyContainerPosition::leading);
    EXPECT_EQ(hint->keyContainer->frame(), Rect(62, 10, 51, 23));
    ASSERT_EQ(capFrames().size(), 1u);
    EXPECT_EQ(capFrames()[0], Rect(0, 0, 51, 23));
    // Text: beside the cap with a 4-point gap, centred on the 23-point icon.
    EXPECT_EQ(hint->scrollView->frame(), Rect(62 + 51 + 4, 10 + (23 - 16) * 0.5, 200, 16));
    EXPECT_TRUE(hint->isEnterHint());
    EXPECT_FALSE(hint->keyContainer->isHidden());
    EXPECT_EQ(hint->iconView->image(), Image::named("tipInfoIcon"));
    // Bottom: the larger of the cap's and the text's bottoms, plus 10.
    EXPECT_EQ(hint->backgroundImage->frame().height(), 33 + 10);
    EXPECT_FALSE(hint->backgroundImage->isHidden());
    EXPECT_TRUE(hint->backgroundImageSmall->isHidden());
}

TEST_F(HintViewTest, DeleteTipCapIsWiderAndNotAnEnterTip) {
    measure(Size{200, 16});
    hint->showHint(WVHintIconStyle::info, AttributedString("Delete"), {"Delete"},
                   WVKeyContainerPosition::leading);
    EXPECT_EQ(hint->keyContainer->frame(), Rect(62, 10, 58, 23));
    EXPECT_FALSE(hint->isEnterHint());
}

TEST_F(HintViewTest, TextAreaLeavesRoomForALeadingKeyRow) {
    measure(Size{100, 16});
    hint->showHint(WVHintIconStyle::info, AttributedString("x"), {"Enter"},
                   WVKeyContainerPosition::leading);
    EXPECT_EQ(hint->textAreaSize(), (Size{500 - 62 - 51, 23}));
    hint->showHint(WVHintIconStyle::award, AttributedString("x"), {"a"},
                   WVKeyContainerPosition::bottom);
    EXPECT_EQ(hint->textAreaSize(), (Size{500 - 62, 23}));
}

TEST_F(HintViewTest, LessonLettersSitUnderTheText) {
    measure(Size{300, 60});
    hint->showHint(WVHintIconStyle::award, AttributedString("New letters"), {"a", "b", "c"},
                   WVKeyContainerPosition::bottom);
    const auto caps = capFrames();
    ASSERT_EQ(caps.size(), 3u);
    EXPECT_EQ(caps[0], Rect(0, 0, 23, 23));
    EXPECT_EQ(caps[1], Rect(27, 0, 23, 23));
    EXPECT_EQ(caps[2], Rect(54, 0, 23, 23));
    // The text is taller than the icon, so it starts at the icon's top.
    EXPECT_EQ(hint->scrollView->frame(), Rect(62, 10, 300, 60));
    EXPECT_EQ(hint->keyContainer->frame(), Rect(62, 70 + 10, 500 - 62, 23));
    EXPECT_EQ(hint->backgroundImage->frame().height(), 80 + 23 + 10);
    EXPECT_EQ(hint->iconView->image(), Image::named("tipUp"));
    EXPECT_FALSE(hint->isEnterHint());
}

TEST_F(HintViewTest, CapCaptionsAreInsetByOnePoint) {
    measure(Size{100, 16});
    hint->showHint(WVHintIconStyle::retry, AttributedString("x"), {"q", "w"},
                   WVKeyContainerPosition::bottom);
    std::vector<Rect> captions;
    for (View* sub : hint->keyContainer->subviews())
        if (auto* field = dynamic_cast<TextField*>(sub)) {
            captions.push_back(field->frame());
            EXPECT_EQ(field->attributedStringValue().attributesAtStart().paragraph->alignment,
                      TextAlignment::Center);
        }
    ASSERT_EQ(captions.size(), 2u);
    EXPECT_EQ(captions[1], Rect(28, 1, 21, 21));
}

TEST_F(HintViewTest, NoKeysHidesTheRowAndKeepsTheOldLabels) {
    measure(Size{100, 16});
    hint->showHint(WVHintIconStyle::info, AttributedString("x"), {"Enter"},
                   WVKeyContainerPosition::leading);
    hint->showHint(WVHintIconStyle::admit, AttributedString("Thanks"), {},
                   WVKeyContainerPosition::leading);
    EXPECT_TRUE(hint->keyContainer->isHidden());
    EXPECT_FALSE(hint->hasKeys);
    ASSERT_TRUE(hint->keysArray);
    EXPECT_EQ(*hint->keysArray, std::vector<std::string>{"Enter"});
    EXPECT_FALSE(hint->isEnterHint());
    EXPECT_EQ(hint->backgroundImage->frame().height(), 33 + 10) << "the icon is the lowest part";
}

TEST_F(HintViewTest, AKeyRowReplacesTheCapsOfTheLastOne) {
    measure(Size{100, 16});
    hint->showHint(WVHintIconStyle::award, AttributedString("x"), {"a", "b", "c"},
                   WVKeyContainerPosition::bottom);
    hint->showHint(WVHintIconStyle::info, AttributedString("x"), {"Enter"},
                   WVKeyContainerPosition::leading);
    EXPECT_EQ(capFrames().size(), 1u);
}

TEST_F(HintViewTest, AlertPlacesButtonsAtTheBottomOverTheSmallBackground) {
    measure(Size{300, 16});
    bool left = false, right = false;
    hint->showAlert(
        "Later", [&](Control&) { left = true; }, "Write", [&](Control&) { right = true; });
    EXPECT_TRUE(hint->hasAlertButtons);
    EXPECT_FALSE(hint->hasKeys);
    EXPECT_EQ(hint->keyPosition, WVKeyContainerPosition::bottom);
    EXPECT_TRUE(hint->keyContainer->isHidden());
    hint->text = AttributedString("Tell us what you think");
    hint->iconView->setImage(Image::named("tipMail"));
    hint->layoutHint();
    EXPECT_FALSE(hint->leftButton->isHidden());
    EXPECT_FALSE(hint->rightButton->isHidden());
    EXPECT_EQ(hint->leftButton->frame().y(), 43.0);
    EXPECT_EQ(hint->rightButton->frame().y(), 43.0);
    EXPECT_FALSE(hint->backgroundImageSmall->isHidden());
    EXPECT_TRUE(hint->backgroundImage->isHidden());
    EXPECT_EQ(hint->backgroundImageSmall->frame().height(), 43.0);
    EXPECT_EQ(hint->leftButton->title(), "Later");
    hint->leftButton->performClick();
    hint->rightButton->performClick();
    EXPECT_TRUE(left && right);

    hint->showHint(WVHintIconStyle::info, AttributedString("x"), {},
                   WVKeyContainerPosition::leading);
    EXPECT_TRUE(hint->leftButton->isHidden());
    EXPECT_TRUE(hint->rightButton->isHidden());
    EXPECT_FALSE(hint->hasAlertButtons);
}

TEST_F(HintViewTest, TextIsWhiteWithLineSpacing) {
    TextAttributes a;
    a.font = Font::system(15);
    hint->showHint(WVHintIconStyle::info, AttributedString("Tip", a), {},
                   WVKeyContainerPosition::leading);
    const TextAttributes shown = hint->textView->textStorage().attributesAtStart();
    EXPECT_EQ(shown.foreground, Color::white());
    EXPECT_EQ(shown.paragraph->lineSpacing, 6.0);
    EXPECT_EQ(shown.font->pointSize, 15.0);
}

TEST_F(HintViewTest, MissingPartsAreSkipped) {
    for (View** part :
         {reinterpret_cast<View**>(&hint->leftButton), reinterpret_cast<View**>(&hint->rightButton),
          reinterpret_cast<View**>(&hint->backgroundImage),
          reinterpret_cast<View**>(&hint->backgroundImageSmall)}) {
        (*part)->removeFromSuperview();
        delete *part;
        *part = nullptr;
    }
    hint->showHint(WVHintIconStyle::email, AttributedString("x"), {"a"},
                   WVKeyContainerPosition::bottom);
    hint->showAlert("a", {}, "b", {});
    hint->layoutHint();
    EXPECT_TRUE(hint->hasAlertButtons);
    EXPECT_TRUE(hint->keyContainer->isHidden());
    hint->text.reset();
    hint->layoutHint();
    EXPECT_EQ(hint->scrollView->frame().width(), 0.0) << "no text takes no width";
}

// The tips the typing screen shows, with texts of one line and of two.
struct TipCase {
    const char* name;
    std::vector<std::string> keys;
    WVKeyContainerPosition position;
    double textHeight;
};

void PrintTo(const TipCase& c, std::ostream* os) { *os << c.name << " " << c.textHeight; }

class TipGeometry : public HintViewTest, public ::testing::WithParamInterface<TipCase> {};

TEST_P(TipGeometry, EveryPartLiesOnThePanelAndALeadingKeySitsOnItsTextLine) {
    const TipCase& c = GetParam();
    measure(Size{240, c.textHeight});
    hint->showHint(WVHintIconStyle::info, AttributedString("tip"), c.keys, c.position);
    const Rect panel = hint->backgroundImage->frame();
    auto onPanel = [&](const Rect& part) {
        return part.minX() >= panel.minX() && part.maxX() <= panel.maxX() &&
               part.minY() >= panel.minY() && part.maxY() <= panel.maxY();
    };
    EXPECT_TRUE(onPanel(hint->iconView->frame())) << "the icon";
    EXPECT_TRUE(onPanel(hint->scrollView->frame())) << "the text";
    if (c.keys.empty()) return;
    const Rect keys = hint->keyContainer->frame();
    EXPECT_TRUE(onPanel(keys)) << "the keys";
    if (c.position != WVKeyContainerPosition::leading) return;
    // One line of text: the cap stands on it, centre to centre.
    const Rect text = hint->scrollView->frame();
    const double firstLine = std::min(text.height(), keys.height());
    EXPECT_NEAR(text.minY() + firstLine / 2, keys.midY(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Tips, TipGeometry,
    ::testing::Values(TipCase{"Enter", {"Enter"}, WVKeyContainerPosition::leading, 16},
                      TipCase{"Enter", {"Enter"}, WVKeyContainerPosition::leading, 22},
                      TipCase{"Delete", {"Delete"}, WVKeyContainerPosition::leading, 16},
                      TipCase{"Lesson", {"a", "b"}, WVKeyContainerPosition::bottom, 16},
                      TipCase{"Lesson", {"a", "b"}, WVKeyContainerPosition::bottom, 44},
                      TipCase{"NoKeys", {}, WVKeyContainerPosition::bottom, 16},
                      TipCase{"NoKeys", {}, WVKeyContainerPosition::bottom, 44}),
    [](const auto& info) {
        return std::string(info.param.name) + std::to_string(int(info.param.textHeight));
    });

}  // namespace
}  // namespace wv
