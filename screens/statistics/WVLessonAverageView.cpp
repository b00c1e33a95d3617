#include "screens/statistics/WVLessonAverageView.h"

#include "engine/Model.h"
#include "languages/LangData.h"
#include "platform/ui/TextMeasurer.h"
#include "storage/Local.h"

namespace wv::screens {

namespace {

constexpr double kScoreFontSize = 15;
constexpr double kSmallScoreFontSize = 11;

ImageView* addImage(View* row, const Rect& frame, const char* name = nullptr) {
    auto* view = new ImageView(frame, name ? Image::named(name) : nullptr);
    row->addSubview(view);
    return view;
}

TextField* addLabel(View* row, const Rect& frame, double size, FontWeight weight) {
    auto* field = new TextField(frame);
    field->setFont(Font::system(size, weight));
    field->setAlignment(TextAlignment::Center);
    field->setTextColor(Color::white());
    row->addSubview(field);
    return field;
}

}  // namespace

WVLessonAverageView::WVLessonAverageView(const Rect& frame) : View(frame) {}

std::unique_ptr<WVLessonAverageView> WVLessonAverageView::makeFromNib() {
    auto row = std::make_unique<WVLessonAverageView>(Rect(0, 0, kWidth, kHeight));
    View* r = row.get();
    row->title = addLabel(r, Rect(2, 68, kWidth - 4, 16), 11, FontWeight::Medium);
    row->dotImage = addImage(r, Rect((kWidth - 6) / 2, 86, 6, 6), "dot");
    row->lineImage = addImage(r, Rect(7, 60, kWidth - 14, 3));
    row->lineImage->setImageScaling(ImageScaling::AxesIndependently);
    const double left = kWidth / 2 - 7 - 17;
    row->star1 = addImage(r, Rect(left, 36, 14, 14), "starEmpty");
    row->star2 = addImage(r, Rect(left + 17, 36, 14, 14), "starEmpty");
    row->star3 = addImage(r, Rect(left + 34, 36, 14, 14), "starEmpty");
    row->lockImage = addImage(r, Rect(left + 17, 36, 14, 14));
    row->lockImage->setVisible(false);
    row->score = addLabel(r, Rect(2, 8, kWidth - 4, 20), kScoreFontSize, FontWeight::Regular);
    row->score->setTextColor(Color::white(0.9));
    return row;
}

std::string WVLessonAverageView::rowTitle(const LessonAverageInfo& info) {
    Local& local = Local::shared();
    if (info.idx >= 0 && info.idx <= 5)
        return local.localize("statsLesson") + " " + std::to_string(info.idx + 1);
    switch (info.idx) {
        case 6:
            return local.localize("statsHintHeaderExpert");
        case 7:
            return local.localize("statsNumbers");
        case 8:
            return local.localize("statsCapitals");
        case 9:
            return local.localize("statsPunctuation");
        default:
            return {};
    }
}

std::string WVLessonAverageView::scoreText(const LessonAverageInfo& info) {
    if (info.langData && info.langData->difficulty() == info.idx)
        return Local::shared().localize("statsLearning");
    return std::to_string(displaySpeed(info.maxSpeedCPM));
}

std::string WVLessonAverageView::lineImageName(int idx) {
    static const char* const names[] = {"line1",       "line2",      "line3", "line4",
                                        "line5",       "line5",      "line6", "lineSymbols",
                                        "lineSymbols", "lineSymbols"};
    if (idx < 0 || idx >= int(std::size(names))) return {};
    return names[idx];
}

std::string WVLessonAverageView::starImageName(int star, float b) {
    const float full = float(star) + 1.0f;  // 1, 2, 3
    if (b >= full) return "starFull";
    if (b >= full - 0.5f) return "starHalf";
    return "starEmpty";
}

void WVLessonAverageView::showLessonInfo() {
    if (!lessonInfo) return;
    const LessonAverageInfo& info = *lessonInfo;
    title->setStringValue(rowTitle(info));
    lockImage->setVisible(false);
    dotImage->setVisible(info.idx >= 7);
    score->setVisible(true);
    const std::string text = scoreText(info);
    // The "learning now" text is longer than any speed: it takes a smaller size when needed.
    TextAttributes attributes;
    attributes.font = Font::system(kScoreFontSize);
    const double width = TextMeasurer::current().size(AttributedString(text, attributes)).width;
    score->setFont(
        Font::system(width > score->frame().width() ? kSmallScoreFontSize : kScoreFontSize));
    score->setStringValue(text);
    title->setTextColor(Color::white());
    const std::string line = lineImageName(info.idx);
    lineImage->setImage(line.empty() ? nullptr : Image::named(line));
    updateStars();
}

void WVLessonAverageView::updateStars() {
    if (!lessonInfo) return;
    const float b = lessonInfo->barValue();
    ImageView* stars[] = {star1, star2, star3};
    for (int i = 0; i < 3; ++i) {
        stars[i]->setVisible(true);
        stars[i]->setImage(Image::named(starImageName(i, b)));
    }
}

}  // namespace wv::screens
