// Every text of the sidebar exists in all ten interface languages and fits its field.
#include <gtest/gtest.h>

#include "platform/ui/MenuItem.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextMeasurer.h"
#include "screens/controls/WVModeSwitcher.h"
#include "screens/controls/WVPopupButtonCell.h"
#include "screens/controls/WVRadioButton.h"
#include "screens/settings/tests/SidebarTestSupport.h"
#include "storage/Local.h"

namespace wv {
namespace {

using test::Sidebar;
using test::SidebarApplication;

const char* const kColumns[] = {"en", "ua", "ru", "de", "es", "fr", "gr", "tr", "it", "pr"};

TEST(SettingsTexts, EveryKeyHasATextInEveryLanguageWithItsPlaceholder) {
    struct Key {
        const char* key;
        const char* placeholder;
    };
    const Key keys[] = {{"sidebarCapitals", nullptr},
                        {"sidebarNumbers", nullptr},
                        {"sidebarPunctuation", nullptr},
                        {"sidebarLanguage", nullptr},
                        {"sidebarLayout", nullptr},
                        {"sidebarSpeedIn", nullptr},
                        {"sidebarShowHands", nullptr},
                        {"sidebarShowHints", nullptr},
                        {"sidebarErrorSound", nullptr},
                        {"sidebarLessonsSelection", nullptr},
                        {"sidebarLessonsSymbols", nullptr},
                        {"sidebarAddToLesson", nullptr},
                        {"sidebarSettings", nullptr},
                        {"sidebarTyping", nullptr},
                        {"sidebarLesson", "#"},
                        {"sidebarLessonExpert", nullptr},
                        {"sidebarLessonAllLetters", nullptr},
                        {"sidebarSymbols", "$"},
                        {"sidebarLessonFrom", "#"},
                        {"sidebarAutomatic", nullptr},
                        {"sidebarManual", nullptr},
                        {"sidebarCPM", nullptr},
                        {"sidebarWPM", nullptr}};
    test::application();
    Local local;
    for (const char* column : kColumns) {
        const Local::Column texts = local.readLanguageColumn(column);
        for (const Key& k : keys) {
            const auto found = texts.find(k.key);
            ASSERT_NE(found, texts.end()) << k.key << " in " << column;
            EXPECT_FALSE(found->second.empty()) << k.key << " in " << column;
            if (k.placeholder)
                EXPECT_NE(found->second.find(k.placeholder), std::string::npos)
                    << k.key << " in " << column;
        }
    }
}

double widthOf(const AttributedString& text) { return TextMeasurer::current().size(text).width; }

// Measured with the fonts the sidebar draws in, in every interface language with the
// matching learning language (whose letters the lesson buttons show).
TEST(SettingsTexts, EveryCaptionTitleAndLessonButtonFitsItsFieldInAllTenLanguages) {
    SidebarApplication s;
    s.open();
    Sidebar& b = s.sidebar();
    const Language learning[] = {Language::en, Language::ua, Language::ru, Language::de,
                                 Language::es, Language::fr, Language::gr, Language::tr,
                                 Language::it, Language::pr};
    for (size_t l = 0; l < std::size(kColumns); ++l) {
        const std::string column = kColumns[l];
        Local::shared().setInterfaceLanguage(column);
        s.app.hub().config().setLanguage(learning[l]);
        b.updateControls();
        b.localizeCaptions();
        s.settle();
        TextField* fields[] = {b.sidebarCapitals,   b.sidebarNumbers,     b.sidebarPunctuation,
                               b.sidebarLanguage,   b.sidebarLayout,      b.sidebarSpeedIn,
                               b.sidebarShowHands,  b.sidebarShowHints,   b.sidebarErrorSound,
                               b.modeSwitcherTitle, b.lessonOptionsTitle, b.addToLessonTitle,
                               b.lessonParamsTitle, b.whileTypingTitle,   b.currentCharactersLabel};
        for (TextField* field : fields) {
            const Size used = TextMeasurer::current().size(field->attributedStringValue());
            EXPECT_LE(used.width, field->frame().width())
                << column << ": \"" << field->stringValue() << "\"";
            EXPECT_LE(used.height, field->frame().height())
                << column << ": " << field->stringValue();
        }
        for (WVRadioButton* button : b.btnLessons) {
            const double needed = widthOf(button->attributedTitle()) + 8 + 14;
            EXPECT_LE(needed, button->frame().width()) << column << ": " << button->title();
        }
        for (size_t i = 0; i < b.modeSwitcher->labelRects.size(); ++i) {
            const Rect highlight = (*b.modeSwitcher->imageRects)[i];
            // Each segment is rounded to whole points on its own.
            EXPECT_LE(highlight.maxX(),
                      b.modeSwitcher->frame().width() + double(b.modeSwitcher->labelRects.size()))
                << column;
            EXPECT_LE(b.modeSwitcher->labelRects[i].height(), b.modeSwitcher->frame().height());
        }
        // The lesson panel's two labels on one line, at any lesson.
        for (int d : {0, 6}) {
            s.app.hub().langRoot().getLang(learning[l]).setDifficulty(d);
            b.updateLessonLabel();
            const double end =
                b.fromLabel->isHidden()
                    ? b.currentLessonLabel->frame().maxX()
                    : b.fromLabel->frame().x() + widthOf(b.fromLabel->attributedStringValue());
            EXPECT_LE(end, Sidebar::kWidth - 20) << column << " at lesson " << d;
        }
        // Pop-up titles: the speed units and the learning language's layouts.
        for (PopUpButton* popup : {b.popupSpeedType, b.layoutPopup}) {
            auto& cell = static_cast<WVPopupButtonCell&>(popup->cell());
            const Rect room = cell.titleDrawingRect(popup->bounds(), *popup);
            for (const auto& item : popup->menu().items()) {
                TextAttributes font;
                font.font = popup->font();
                EXPECT_LE(widthOf(AttributedString(item->title(), font)), room.width())
                    << column << ": " << item->title();
            }
        }
    }
}

}  // namespace
}  // namespace wv
