// Every text the help and about screens show exists in all ten interface languages and fits.
#include <gtest/gtest.h>

#include "app/tests/AppTestSupport.h"
#include "engine/Model.h"
#include "platform/ui/TextMeasurer.h"
#include "platform/ui/Window.h"
#include "screens/help/WVHelpController.h"
#include "screens/help/tests/HelpTestSupport.h"
#include "storage/Local.h"

namespace wv::screens {
namespace {

const char* const kColumns[] = {"en", "ua", "ru", "de", "es", "fr", "gr", "tr", "it", "pr"};

TEST(HelpTexts, EveryKeyHasATextInEveryLanguage) {
    const char* const keys[] = {"helpNext",   "helpPage1of3", "helpPage2of3",  "helpPage3of3",
                                "helpTitle1", "helpDesc1",    "helpTitle2",    "helpDesc2",
                                "helpTitle3", "helpDesc3",    "helpSubscribe", "helpEmail",
                                "menuAbout"};
    test::application();
    Local local;
    for (const char* column : kColumns) {
        const Local::Column texts = local.readLanguageColumn(column);
        for (const char* key : keys) {
            const auto found = texts.find(key);
            ASSERT_NE(found, texts.end()) << key << " in " << column;
            EXPECT_FALSE(found->second.empty()) << key << " in " << column;
        }
    }
}

// Measured with the fonts the pages draw in: one line for titles, page labels and the Next
// button, the description's lines within its field.
TEST(HelpTexts, TitlesDescriptionsAndButtonsFitTheirPlaceInAllTenLanguages) {
    test::application();
    Local::shared().valueForKey("helpNext");
    model();
    test::VideoBundle bundle({});
    auto c = std::make_shared<WVHelpController>();
    Window window(Rect(Point{0, 0}, WVHelpController::kContentSize));
    window.setContentViewController(c);
    const TextMeasurer& measure = TextMeasurer::current();
    for (const char* column : kColumns) {
        Local::shared().setInterfaceLanguage(column);
        c->localizeCaptions();
        for (TextField* field : {c->helpTitle1, c->helpTitle2, c->helpTitle3, c->helpPage1of3,
                                 c->helpPage2of3, c->helpPage3of3}) {
            const Size used = measure.size(field->attributedStringValue());
            EXPECT_LE(used.width, field->frame().width())
                << column << ": \"" << field->stringValue() << "\"";
            EXPECT_LE(used.height, field->frame().height()) << column;
        }
        for (TextField* field : {c->helpDesc1, c->helpDesc2, c->helpDesc3}) {
            const Rect used = measure.usedRect(field->attributedStringValue(),
                                               Size{field->frame().width(), 10000});
            EXPECT_LE(used.height(), field->frame().height())
                << column << ": \"" << field->stringValue() << "\"";
        }
        const Size next = measure.size(c->helpNext->attributedTitle());
        EXPECT_LE(next.width + 16, c->helpNext->frame().width()) << column;
    }
    Local::shared().setInterfaceLanguage("en");
}

}  // namespace
}  // namespace wv::screens
