#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextLayout>

#include "platform/ui/TextDocument.h"
#include "platform/ui/tests/TestApplication.h"

namespace wv {
namespace {

AttributedString caption(const std::string& text, double size = 14) {
    TextAttributes attributes;
    attributes.font = Font::system().withSize(size);
    return AttributedString(text, attributes);
}

int lines(const QTextDocument& document) {
    document.size();  // lays it out
    int count = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        count += block.layout()->lineCount();
    return count;
}

class TextDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
};

// A caption measured and then drawn at the same width is laid out once; the text, its
// attributes or the width differing makes another layout.
TEST_F(TextDocumentTest, TheSameTextAtTheSameWidthIsLaidOutOnce) {
    const auto measured = laidOutText(caption("Shift"), 80);
    EXPECT_EQ(laidOutText(caption("Shift"), 80), measured);
    EXPECT_NE(laidOutText(caption("Shift"), 81), measured);
    EXPECT_NE(laidOutText(caption("Shift", 15), 80), measured);
    EXPECT_NE(laidOutText(caption("Shifts"), 80), measured);
}

// Text asked for on unbroken lines may come from a layout made to break them only where it
// broke none: a caption too wide for its key stays on one line, as it was drawn before.
TEST_F(TextDocumentTest, UnbrokenTextComesFromAWrappingLayoutOnlyWhereItBrokeNoLine) {
    const auto fits = laidOutText(caption("Tab"), 200, true);
    ASSERT_EQ(lines(*fits), 1);
    EXPECT_EQ(laidOutText(caption("Tab"), 200, false), fits);

    const AttributedString wide = caption("a caption far too wide for a key");
    const auto wrapped = laidOutText(wide, 40, true);
    ASSERT_GT(lines(*wrapped), 1);
    const auto unbroken = laidOutText(wide, 40, false);
    EXPECT_NE(unbroken, wrapped);
    EXPECT_EQ(lines(*unbroken), 1);
    // Nor the other way: a layout that keeps lines whole is no answer for one that breaks them.
    const AttributedString other = caption("another caption far too wide");
    const auto whole = laidOutText(other, 40, false);
    EXPECT_EQ(lines(*whole), 1);
    const auto broken = laidOutText(other, 40, true);
    EXPECT_NE(broken, whole);
    EXPECT_GT(lines(*broken), 1);
}

}  // namespace
}  // namespace wv
