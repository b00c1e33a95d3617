#include <gtest/gtest.h>

#include <vector>

#include "screens/controls/WVRadioButton.h"
#include "screens/controls/WVRadioButtonCell.h"
#include "screens/controls/tests/ControlsTestSupport.h"

namespace wv {
namespace {

class RadioButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        test::registerSolidNamed("checkMark", Qt::yellow, Size{14, 12});
    }
};

// The text and colour of each run of a drawn title.
std::vector<std::pair<std::string, Color>> colouredRuns(const AttributedString& title) {
    std::vector<std::pair<std::string, Color>> runs;
    for (const auto& run : title.runs()) {
        const Color colour = run.attributes.foreground.value_or(Color::black());
        if (!runs.empty() && runs.back().second == colour)
            runs.back().first += run.text;
        else
            runs.emplace_back(run.text, colour);
    }
    return runs;
}

struct TitleCase {
    const char* title;
    int state;
    std::vector<std::pair<std::string, Color>> runs;
};

TEST_F(RadioButtonTest, TitlesTakeTheStateColourAndOnlyTheFirstBulletIsGrey) {
    const Color on = WVRadioButtonCell::onColor(), off = WVRadioButtonCell::offColor(),
                grey = WVRadioButtonCell::bulletColor();
    EXPECT_EQ(on, Color::rgb(241 / 256.0, 150 / 256.0, 28 / 256.0));
    EXPECT_EQ(grey, Color::rgb(137 / 256.0, 137 / 256.0, 137 / 256.0));
    const TitleCase cases[] = {
        {"Lesson 1 \xE2\x80\xA2 f j", 1, {{"Lesson 1 ", on}, {"\xE2\x80\xA2", grey}, {" f j", on}}},
        {"Lesson 1 \xE2\x80\xA2 f j",
         0,
         {{"Lesson 1 ", off}, {"\xE2\x80\xA2", grey}, {" f j", off}}},
        {"Expert \xE2\x80\xA2 All \xE2\x80\xA2 letters",
         1,
         {{"Expert ", on}, {"\xE2\x80\xA2", grey}, {" All \xE2\x80\xA2 letters", on}}},
        {"\xE2\x80\xA2", 2, {{"\xE2\x80\xA2", grey}}},
        {"Lesson 2", 1, {{"Lesson 2", on}}},
        {"Lesson 2", -1, {{"Lesson 2", off}}},
    };
    for (const TitleCase& c : cases) {
        TextAttributes font;
        font.font = Font::system(13);
        const AttributedString drawn =
            WVRadioButtonCell::recolouredTitle(AttributedString(c.title, font), c.state);
        EXPECT_EQ(colouredRuns(drawn), c.runs) << c.title << " in state " << c.state;
        EXPECT_EQ(drawn.string(), c.title);
        for (const auto& run : drawn.runs()) EXPECT_EQ(run.attributes.font, Font::system(13));
    }
}

TEST_F(RadioButtonTest, ARadioIsEnabledWithTheCheckMarkAndDrawsItsTitleInTheStateColour) {
    WVRadioButton button(Rect(0, 0, 200, 24));
    EXPECT_TRUE(button.isEnabled());
    EXPECT_EQ(button.buttonType(), ButtonType::Radio);
    EXPECT_EQ(button.image(), Image::named("checkMark"));
    EXPECT_FALSE(button.selected);
    button.setTitle("Lesson 3 \xE2\x80\xA2 a b");
    button.setState(1);
    button.snapshot();
    // Drawing keeps the recoloured title as the button's own.
    EXPECT_EQ(colouredRuns(button.attributedTitle()).front().second, WVRadioButtonCell::onColor());
    button.setState(0);
    button.snapshot();
    EXPECT_EQ(colouredRuns(button.attributedTitle()).front().second, WVRadioButtonCell::offColor());
}

TEST_F(RadioButtonTest, TheCheckImageSitsTwoPointsLeftOfWhereTheTitleEnds) {
    ScopedTextMeasurer measurer{std::make_shared<test::CharacterWidthMeasurer>()};
    WVRadioButton button(Rect(0, 0, 200, 24));
    button.setTitle("Lesson 1");  // 56 points wide
    WVRadioButtonCell cell;
    const Rect image = cell.imageRectForBounds(button.bounds(), button);
    EXPECT_EQ(image, Rect(56 + 8 - 2, 6, 14, 12));
    button.setTitle(std::string(40, 'x'));  // longer than the button: kept inside, then moved
    EXPECT_EQ(cell.imageRectForBounds(button.bounds(), button), Rect(200 - 14 - 2, 6, 14, 12));
}

}  // namespace
}  // namespace wv
