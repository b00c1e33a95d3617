#include "screens/statistics/WVLessonDetailsViewController.h"

#include <QPointer>
#include <algorithm>

#include "app/WVAnimation.h"
#include "engine/Model.h"
#include "platform/ui/AnimationContext.h"
#include "platform/ui/Layer.h"
#include "storage/Local.h"

namespace wv::screens {

namespace {

constexpr double kCaptionHeight = 28;
constexpr double kContainerHeight = 72;
constexpr double kRowHeight = 22;
constexpr double kMargin = 12;

const Color kPanelColor = Color::rgb(0.125, 0.125, 0.15, 0.97);
const Color kCaptionTextColor = Color::white(0.6);

TextField* makeLabel(View* parent, const Rect& frame, double size, TextAlignment alignment,
                     const Color& color, FontWeight weight = FontWeight::Regular) {
    auto* field = new TextField(frame);
    field->setFont(Font::system(size, weight));
    field->setAlignment(alignment);
    field->setTextColor(color);
    parent->addSubview(field);
    return field;
}

// Every "#" of the text becomes `number`.
std::string withNumber(std::string text, int number) {
    const std::string digits = std::to_string(number);
    for (size_t at = text.find('#'); at != std::string::npos;
         at = text.find('#', at + digits.size()))
        text.replace(at, 1, digits);
    return text;
}

bool sameRecord(const LessonInfoPtr& a, const LessonInfoPtr& b) {
    if (!a || !b) return !a && !b;
    // Dates keep whole seconds only: two lines finished in one second differ by their id.
    return a->id == b->id && a->date == b->date;
}

}  // namespace

void WVLessonDetailsViewController::loadView() {
    const double height = kContainerHeight + kCaptionHeight;
    auto* root = new View(Rect(0, 0, kPanelWidth, height));
    setView(root);

    bgImage = new ImageView(root->bounds());
    bgImage->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    bgImage->layer()->setBackgroundColor(kPanelColor);
    bgImage->layer()->setCornerRadius(6);
    root->addSubview(bgImage);

    container = new View(Rect(0, 0, kPanelWidth, kContainerHeight));
    container->setAutoresizingMask(View::MaxYMargin);
    root->addSubview(container);
    const double valueWidth = 56;
    const double captionWidth = kPanelWidth - 2 * kMargin - valueWidth;
    struct Row {
        TextField** caption;
        TextField** value;
    };
    const Row rows[] = {
        {&statsSpeed, &speedLabel}, {&statsTypos, &typosLabel}, {&statsAccuracy, &accuracyLabel}};
    for (int i = 0; i < 3; ++i) {
        const double y = kContainerHeight - 6 - kRowHeight * (i + 1);
        *rows[i].caption = makeLabel(container, Rect(kMargin, y + 2, captionWidth, 17), 12,
                                     TextAlignment::Left, kCaptionTextColor);
        *rows[i].value = makeLabel(container, Rect(kMargin + captionWidth, y, valueWidth, 19), 15,
                                   TextAlignment::Right, Color::white(), FontWeight::Medium);
    }

    line = new ImageView(Rect(kMargin, kContainerHeight, kPanelWidth - 2 * kMargin, 1),
                         Image::named("lineSymbols"));
    line->setImageScaling(ImageScaling::AxesIndependently);
    line->setAlphaValue(0.35);
    line->setVisible(false);
    root->addSubview(line);

    optionsLabel = makeLabel(root, Rect(kMargin, kContainerHeight, kPanelWidth - 2 * kMargin, 0),
                             12, TextAlignment::Left, Color::white(0.85));
    optionsLabel->setWraps(true);
    optionsLabel->setVisible(false);

    lessonColorImage = new ImageView(Rect(0, kContainerHeight, kPanelWidth, kCaptionHeight),
                                     Image::named(captions.front()));
    lessonColorImage->setImageScaling(ImageScaling::AxesIndependently);
    lessonColorImage->setAutoresizingMask(View::MinYMargin);
    root->addSubview(lessonColorImage);
    difficultyLabel =
        makeLabel(root, Rect(kMargin, kContainerHeight + 5, kPanelWidth - 2 * kMargin, 18), 13,
                  TextAlignment::Left, Color::white(), FontWeight::Medium);
    difficultyLabel->setAutoresizingMask(View::MinYMargin);
}

void WVLessonDetailsViewController::setLesson(LessonInfoPtr lesson) {
    const bool changed = !sameRecord(lesson_, lesson);
    lesson_ = std::move(lesson);
    if (changed) fillDetails();
}

std::vector<std::string> WVLessonDetailsViewController::optionTexts() const {
    std::vector<std::string> texts;
    if (!lesson_) return texts;
    Local& local = Local::shared();
    if (lesson_->isCapitalsOn) texts.push_back(local.localize("statsWithCapitals"));
    if (lesson_->isNumbersOn) texts.push_back(local.localize("statsWithNumbers"));
    if (lesson_->isPunctuationOn) texts.push_back(local.localize("statsWithPunctuation"));
    return texts;
}

void WVLessonDetailsViewController::fillDetails() {
    if (!lesson_ || !isViewLoaded()) return;
    Local& local = Local::shared();
    const int d = lesson_->difficulty;
    std::string title =
        d < 6 ? withNumber(local.localize("statsHintHeaderLesson"), std::max(d, 0) + 1)
              : local.localize("statsHintHeaderExpert");
    if (!optionTexts().empty()) title += " " + local.localize("statsHintHeaderWith");
    difficultyLabel->setStringValue(title);
    // A damaged row's difficulty below 0 takes the first caption, above 5 the expert's.
    const size_t caption = d < 0 ? 0 : d < 6 ? size_t(d) : captions.size() - 1;
    lessonColorImage->setImage(Image::named(captions[caption]));
    speedLabel->setStringValue(std::to_string(displaySpeed(lesson_->speedCPM)));
    typosLabel->setStringValue(std::to_string(lesson_->mistypesCount));
    accuracyLabel->setStringValue(std::to_string(lesson_->accuracy) + "%");
    statsTypos->setStringValue(local.localize("statsTypos"));
    statsSpeed->setStringValue(local.localize("statsSpeed"));
    statsAccuracy->setStringValue(local.localize("statsAccuracy"));
    updateLayout();
}

double WVLessonDetailsViewController::popoverHeight() const {
    if (!container || !lessonColorImage) return 0;
    double height = container->frame().height() + lessonColorImage->frame().height();
    const size_t n = optionTexts().size();
    if (n > 0) height += double(n) * optionTextHeight + offset + 6.0;
    return height;
}

void WVLessonDetailsViewController::updateLayout() {
    if (!isViewLoaded()) return;
    const std::vector<std::string> options = optionTexts();
    const double h = popoverHeight();
    if (!options.empty()) {
        std::string joined;
        for (const auto& option : options) joined += option + " \n";
        optionsLabel->setStringValue(joined);
    }
    View* root = view();
    if (root->frame().height() == h) return;
    root->animator().setFrame(Rect(root->frame().origin, Size{root->frame().width(), h}));
    AnimationContext::withoutAnimation([&] {
        optionsLabel->setFrameSize(Size{optionsLabel->frame().width(), 0});
        container->setFrameOrigin(Point{container->frame().x(), 0});
        line->setFrameOrigin(Point{line->frame().x(), 0});
    });
    const double n = double(options.size());
    QPointer<TextField> label = optionsLabel;
    AnimationContext::runGroup(
        [&](AnimationContext& context) {
            context.setDuration(0.025);
            if (options.empty()) {
                line->setVisible(false);
                return;
            }
            const Rect caption = lessonColorImage->frame();
            label->animator().setFrame(Rect(label->frame().x(),
                                            caption.y() - offset - n * optionTextHeight,
                                            label->frame().width(), n * optionTextHeight));
            line->animator().setFrameOrigin(Point{line->frame().x(), container->frame().maxY()});
            line->setVisible(true);
        },
        [label, hide = options.empty()] {
            WVAnimation::completionHandler([label, hide](bool) {
                if (label) label->setVisible(!hide);
            });
        });
}

void WVLessonDetailsViewController::viewWillAppear() {
    ViewController::viewWillAppear();
    fillDetails();
}

void WVLessonDetailsViewController::localizeCaptions() { fillDetails(); }

}  // namespace wv::screens
