// The statistics screen's texts in the ten interface languages: present, and fitting the
// fields the screen gives them.
#include <gtest/gtest.h>

#include "engine/LessonsTree.h"
#include "engine/Model.h"
#include "platform/ui/TextMeasurer.h"
#include "screens/statistics/WVLessonAverageView.h"
#include "screens/statistics/WVLessonAverageViewController.h"
#include "screens/statistics/WVLessonDetailsViewController.h"
#include "screens/statistics/WVStatisticsController.h"
#include "screens/statistics/WVSwitcher.h"
#include "screens/statistics/tests/StatisticsTestSupport.h"
#include "storage/Config.h"
#include "storage/Local.h"

namespace wv::screens {
namespace {

const char* const kInterfaceLanguages[] = {"en", "ua", "ru", "de", "es",
                                           "fr", "gr", "tr", "it", "pr"};

const char* const kKeys[] = {
    "statsEnglish",
    "statsUkrainian",
    "statsRussian",
    "statsGerman",
    "statsSpanish",
    "statsFrench",
    "statsGreek",
    "statsTurkish",
    "statsItalian",
    "statsPortuguese",
    "statsFor",
    "sidebarLayout",
    "statsTitle",
    "statsSpeed",
    "statsTypos",
    "statsRecentLessons",
    "statsLesson",
    "statsHintHeaderExpert",
    "statsNumbers",
    "statsCapitals",
    "statsPunctuation",
    "statsLearning",
    "statsHintHeaderWith",
    "statsWithCapitals",
    "statsWithNumbers",
    "statsWithPunctuation",
    "statsHintHeaderLesson",
    "statsAccuracy",
};

TEST(StatisticsTexts, EveryKeyHasATextInEveryLanguage) {
    test::statisticsApplication();
    Local& local = Local::shared();
    for (const char* language : kInterfaceLanguages) {
        const Local::Column column = local.readLanguageColumn(language);
        ASSERT_FALSE(column.empty()) << language;
        for (const char* key : kKeys) {
            const auto found = column.find(key);
            ASSERT_NE(found, column.end()) << key << " in " << language;
            EXPECT_FALSE(found->second.empty()) << key << " in " << language;
        }
        EXPECT_NE(column.at("statsHintHeaderLesson").find('#'), std::string::npos) << language;
    }
}

// Every language has records, so the language row holds all ten tabs.
class ScreenWithEveryLanguage : public WVStatisticsController {
  public:
    ScreenWithEveryLanguage() {
        for (int raw = 0; raw < 10; ++raw) {
            auto lesson = std::make_shared<LessonInfo>(*test::makeLesson({.id = raw + 1}));
            lesson->language = Language(raw);
            lesson->layoutIdx = 0;
            tree.add(lesson);
        }
    }
    LessonsTree tree;

  protected:
    const LessonsTree& lessonsTree() const override { return tree; }
};

double widthOf(const TextField& field) {
    return TextMeasurer::current().size(field.attributedStringValue()).width;
}

void expectFits(const TextField& field, const std::string& what, const std::string& language) {
    EXPECT_LE(widthOf(field), field.frame().width())
        << what << " \"" << field.stringValue() << "\" in " << language;
}

TEST(StatisticsTexts, TextsFitTheirFieldsInEveryInterfaceLanguage) {
    test::statisticsApplication();
    Local& local = Local::shared();
    for (const char* language : kInterfaceLanguages) {
        local.setInterfaceLanguage(language);
        auto screen = std::make_shared<ScreenWithEveryLanguage>();
        // The longest layout names: English has the most layouts.
        model().config().setLanguage(Language::en);
        screen->view();
        screen->viewWillAppear();
        screen->localizeCaptions();

        for (WVSwitcher* switcher : {screen->languageSwitcher, screen->layoutSwitcher}) {
            SegmentedControl* control = switcher->segmentedControl;
            for (int i = 0; i < control->segmentCount(); ++i) {
                const double segment = control->segmentRect(i).width();
                TextAttributes attributes;
                attributes.font = control->font();
                const double width =
                    TextMeasurer::current()
                        .size(AttributedString(control->labelForSegment(i), attributes))
                        .width;
                EXPECT_LE(width + 8, segment) << control->labelForSegment(i) << " in " << language;
            }
        }
        for (TextField* field :
             {screen->forLanguageLabel, screen->forLayoutLabel, screen->statsTitle,
              screen->statsSpeed, screen->statsTypos, screen->statsRecentLessons})
            expectFits(*field, "caption", language);

        auto& tray = *screen->lessonGeneralViewController;
        std::vector<LessonAverageInfo> groups;
        const LangData* english = &model().langRoot().getLang(Language::en);
        for (int idx = 0; idx < 10; ++idx) groups.push_back({idx, 1234, true, english});
        groups[0].maxSpeedCPM = 0;  // the row the learner is on shows "learning now"
        tray.lessonsAverage = groups;
        tray.refreshRows();
        for (WVLessonAverageView* row : tray.rows()) {
            expectFits(*row->title, "tray title", language);
            expectFits(*row->score, "tray score", language);
        }

        auto& details = *screen->lessonDetailsViewController();
        for (int difficulty : {5, 6}) {
            details.setLesson(test::makeLesson({.id = difficulty,
                                                .speed = 999,
                                                .typos = 99,
                                                .difficulty = difficulty,
                                                .capitals = true,
                                                .numbers = true,
                                                .punctuation = true}));
            expectFits(*details.difficultyLabel, "pop-over title", language);
            for (TextField* field : {details.statsSpeed, details.statsTypos, details.statsAccuracy,
                                     details.speedLabel, details.typosLabel, details.accuracyLabel})
                expectFits(*field, "pop-over value", language);
            for (const std::string& option : details.optionTexts()) {
                TextAttributes attributes;
                attributes.font = details.optionsLabel->font();
                EXPECT_LE(
                    TextMeasurer::current().size(AttributedString(option + " ", attributes)).width,
                    details.optionsLabel->frame().width())
                    << option << " in " << language;
            }
        }
    }
}

}  // namespace
}  // namespace wv::screens
