#include <gtest/gtest.h>

#include "app/WVTypeLineField.h"
#include "app/tests/AppTestSupport.h"
#include "platform/ui/TextDocument.h"

namespace wv {
namespace {

double laidOutWidth(const std::string& text, const Font& font) {
    TextAttributes attributes;
    attributes.font = font;
    return makeTextDocument(AttributedString(text, attributes))->idealWidth() / kTextLayoutScale;
}

TEST(TypeLineField, AProposedFontThatIsTooWideShrinksUntilTheLineFits) {
    test::application();
    WVTypeLineField field(Rect(0, 0, 400, 60));
    const std::vector<std::string> characters = {"t", "e", "a", " ", "t", "o", " ",
                                                 "t", "a", "t", "t", "o", "o"};
    field.setStyledText(
        StyledText(characters, RGBColor{1, 1, 1, 1, true}, StyledText::Alignment::Center));
    const std::string text = field.stringValue();

    const Font tooWide = Font::system(80);
    ASSERT_GT(laidOutWidth(text, tooWide), 396);
    const Font fitted = field.fittingFont(tooWide);
    EXPECT_LE(laidOutWidth(text, fitted), 396);
    EXPECT_GT(laidOutWidth(text, fitted), 396 * 0.9);  // not smaller than it needs to be

    const Font small = Font::system(12);
    EXPECT_EQ(field.fittingFont(small), small);  // a font that fits stays as it is
}

}  // namespace
}  // namespace wv
