// What the typing screen does after a finished line: automatic difficulty, the indicator
// deltas, the tip, the typo heat map and the Return key's pulse; and every tip it can show.
#include "app/WVHintView.h"
#include "app/WVKeyboardButton.h"
#include "app/WVKeyboardView.h"
#include "app/WVMainViewController.h"
#include "engine/MistypesInfo.h"
#include "engine/Model.h"
#include "languages/LangData.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "storage/Local.h"

namespace wv {

namespace {
std::string localized(const char* key) { return Local::shared().localize(key); }

std::string replaceAll(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}
}  // namespace

void WVMainViewController::onLineComplete() {
    Model& hub = model();
    hub.learningAssist().processLastLesson(currentLanguage());
    LessonStats& stats = hub.stats();
    // A line that was not stored has no change against the previous one to show.
    if (stats.lessonsList().size() >= 2 && !stats.sessionSkipped) {
        showIndicatorDelta(*indicatorSpeedDelta, displaySpeed(stats.speedDelta()), false);
        showIndicatorDelta(*indicatorAccuracyDelta, stats.accuracyDelta(), false);
        showIndicatorDelta(*indicatorTyposDelta, stats.typosDelta(), true);
    }
    showTips();
    updateLinesNotSavedLabel();
    if (!stats.sessionSkipped) showTypoHeatMap();
    startReturnPulse();
}

void WVMainViewController::showTypoHeatMap() {
    WVKeyboardView::Mistypes counts;
    if (const auto& mistypes = model().learningAssist().mistypes()) counts = mistypes->dic();
    keyboard->showTypoHeatMap(counts, [](std::int64_t keyCode) {
        return model()
            .langRoot()
            .getLang(model().config().language())
            .keys()
            .symbolsForKeyCode(int(keyCode));
    });
}

void WVMainViewController::startReturnPulse() {
    if (WVKeyboardButton* key = keyboard->returnKey()) key->startHighlightAnimation();
}

void WVMainViewController::showTips() {
    Config& config = model().config();
    if (config.pressEnterCounter() < 1) {
        config.setPressEnterCounter(config.pressEnterCounter() + 1);
        config.didChange.onNext(ConfigUpdate::Normal);
        enterTip();
        return;
    }
    LangData& language = currentLanguage();
    if (!language.difficultyAuto()) return;
    // The raise belongs to the last stored line; a line that left no record raised nothing.
    if (!model().stats().sessionSkipped && model().learningAssist().isLevelRaised(language))
        upLessonTip();
    else if (model().learningAssist().shouldWarnManyTypos())
        infoTip();
}

void WVMainViewController::hideHintView() { hintView->setHidden(true); }

bool WVMainViewController::isEnterHintShowing() const {
    return !hintView->isHidden() && hintView->isEnterHint();
}

// The panel has laid the tip out at its width, which follows the screen (layoutScreen); its
// height follows the tip.
void WVMainViewController::showHintPanel() {
    layoutHintView();
    hintView->setHidden(false);
}

void WVMainViewController::showMailTip() {
    hintView->text = AttributedString(localized("hintHowWeCanImproveWV"));
    if (hintView->iconView) hintView->iconView->setImage(Image::named("tipMail"));
    auto alive = alive_;
    hintView->showAlert(localized("hintNotNow"),
                        [this, alive](Control&) {
                            if (*alive) hideHintView();
                        },
                        localized("hintMail"), {});
    hintView->layoutHint();
    showHintPanel();
}

void WVMainViewController::likeTip() {
    hintView->text = AttributedString(localized("hintDoYouLikeWV"));
    if (hintView->iconView) hintView->iconView->setImage(Image::named("tipHeartIcon"));
    hintView->showAlert(localized("hintNoBtn"), {}, localized("hintYesBtn"), {});
    hintView->layoutHint();
    showHintPanel();
}

void WVMainViewController::reviewTip() {
    hintView->text = AttributedString(localized("hintWantMakeReview"));
    if (hintView->iconView) hintView->iconView->setImage(Image::named("tipHeartIcon"));
    auto alive = alive_;
    hintView->showAlert(localized("hintNotNow"),
                        [this, alive](Control&) {
                            if (*alive) hideHintView();
                        },
                        localized("hintIWant"), {});
    hintView->layoutHint();
    showHintPanel();
}

void WVMainViewController::achivementTip() {
    hintView->text = AttributedString(localized("hintNewRecord"));
    if (hintView->iconView) hintView->iconView->setImage(Image::named("tipHeartIcon"));
    hintView->showAlert(localized("hintFacebook"), {}, localized("hintBalvik"), {});
    hintView->layoutHint();
    showHintPanel();
}

void WVMainViewController::upLessonTip() {
    LangData& language = currentLanguage();
    const std::string text = language.difficulty() == 6
                                 ? localized("hintExpertLevel")
                                 : replaceAll(localized("hintNewLesson"), "#",
                                              std::to_string(language.difficulty() + 1));
    hintView->showHint(WVHintIconStyle::award, AttributedString(text),
                       language.currentLevelLetterList(), WVKeyContainerPosition::bottom);
    showHintPanel();
    startReturnPulse();
}

void WVMainViewController::downLessonTip() {
    LangData& language = currentLanguage();
    const std::string text =
        localized("hintLessonDown") + std::to_string(language.difficulty() + 1);
    hintView->showHint(WVHintIconStyle::retry, AttributedString(text),
                       language.currentLevelLetterList(), WVKeyContainerPosition::bottom);
    showHintPanel();
    startReturnPulse();
}

void WVMainViewController::showKeyTip(const std::string& keyName, const std::string& textKey) {
    hintView->showHint(WVHintIconStyle::info, AttributedString(Local::shared().localize(textKey)),
                       {keyName}, WVKeyContainerPosition::leading);
    showHintPanel();
}

void WVMainViewController::deleteTip() { showKeyTip("Delete", "hintDeleteTypo"); }

void WVMainViewController::enterTip() { showKeyTip("Enter", "hitPressEnter"); }

void WVMainViewController::infoTip() {
    hintView->text = AttributedString(localized("hitWarnManyTypos"));
    if (hintView->iconView) hintView->iconView->setImage(Image::named("tipInfoIcon"));
    if (hintView->leftButton) hintView->leftButton->setHidden(true);
    if (hintView->rightButton) hintView->rightButton->setHidden(true);
    hintView->hasAlertButtons = false;
    if (hintView->keyContainer) hintView->keyContainer->setHidden(true);
    hintView->hasKeys = false;
    hintView->removeKeyViews();
    hintView->keysArray = std::nullopt;
    hintView->keyPosition = WVKeyContainerPosition::bottom;
    hintView->layoutHint();
    showHintPanel();
}

}  // namespace wv
