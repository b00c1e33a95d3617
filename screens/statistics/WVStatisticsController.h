#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "app/WVScreenControllers.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/rx/DisposeBag.h"
#include "platform/ui/Button.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "screens/statistics/WVLangSwitcherModelView.h"

namespace wv {
enum class Language : int;
class LessonsTree;
}  // namespace wv

namespace wv::screens {

class WVDiagrammView;
class WVLessonAverageViewController;
class WVLessonDetailsViewController;
class WVStatisticsViewController;
class WVSwitcher;

// The statistics screen: for one learning language and one of its layouts at a time, the
// diagram of the stored lesson records over the chart frame, the lesson-averages tray and the
// details pop-over, with a row of language tabs and a row of layout tabs. Every figure comes
// from the statistics store's lesson tree in memory. Choosing a tab changes only what is
// shown. Built in code for a 1100 x 620 screen; the chart stretches with the window and the
// tray stays centred below it. Main thread only.
class WVStatisticsController : public wv::WVStatisticsController {
  public:
    WVStatisticsController();
    ~WVStatisticsController() override;

    // Made on first use, from the storyboard scene "lessonDetailsController".
    const std::shared_ptr<WVLessonDetailsViewController>& lessonDetailsViewController();
    std::unique_ptr<WVStatisticsViewController> statisticsViewController;
    std::unique_ptr<WVLessonAverageViewController> lessonGeneralViewController;

    // The views, owned by the screen's view.
    TextField* resultsOfLastLessons = nullptr;
    View* lessonsTray = nullptr;
    View* statisticsView = nullptr;
    WVDiagrammView* diagrammView = nullptr;
    ScrollView* scrollView = nullptr;
    WVSwitcher* languageSwitcher = nullptr;
    WVSwitcher* layoutSwitcher = nullptr;
    TextField* forLanguageLabel = nullptr;
    TextField* forLayoutLabel = nullptr;
    TextField* statsTitle = nullptr;
    TextField* statsRecords = nullptr;
    TextField* statsSpeed = nullptr;
    TextField* statsTypos = nullptr;
    TextField* statsRecentLessons = nullptr;
    Button* closeButton = nullptr;

    std::unique_ptr<WVLangSwitcherModelView> modelView;

    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;
    void localizeCaptions() override;
    // Escape presses the close button; any other key is not the screen's.
    bool performKeyEquivalent(const KeyEvent& event) override;

    void closePressed();
    void didResizeUI();

    virtual void bindSelection();
    virtual void languageSelected(int tag);
    virtual void layoutSelected(int tag);
    virtual void updateContentSize();
    virtual void fillLayoutTabs(Language language);
    virtual void buildLessonAverages(Language language, int layoutTag);
    virtual void attachChildControllers();

    // The localised name a language's tab shows.
    static std::string statsLanguageName(Language language);

  protected:
    void loadView() override;
    // The statistics store's lesson tree, where every figure comes from.
    virtual const LessonsTree& lessonsTree() const;

  private:
    std::shared_ptr<WVLessonDetailsViewController> lessonDetailsViewController_;
    std::vector<NotificationCenter::ObserverToken> observers_;
    // The selection subscriptions of the current appearance; a new appearance replaces them,
    // so a tap runs its handlers once however often the screen was opened.
    rx::DisposeBag bag;
};

}  // namespace wv::screens
