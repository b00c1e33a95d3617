#include "app/WVKeyboardButton.h"

#include <QPointer>
#include <algorithm>
#include <limits>

#include "app/SharedColors.h"
#include "app/TextHelpers.h"
#include "app/UIScale.h"
#include "app/WVKeyboardCell.h"
#include "app/WVKeyboardCentralCell.h"
#include "platform/foundation/Text.h"

namespace wv {

namespace {
constexpr double kInset = 1.0;
const char* const kOpacityKey = "opacity";

Animation opacityAnimation(double from, double to, double duration, bool autoreverses,
                           double repeatCount) {
    Animation a;
    a.keyPath = "opacity";
    a.from = from;
    a.to = to;
    a.duration = duration;
    a.timing = TimingFunction::easeInEaseOut();
    a.autoreverses = autoreverses;
    a.repeatCount = repeatCount;
    return a;
}
}  // namespace

WVKeyboardButton::WVKeyboardButton(const Rect& frame, const std::string& label,
                                   std::unique_ptr<ButtonCell> cell)
    : Button(frame),
      animationLayer(std::make_shared<Layer>()),
      textLayer(std::make_shared<TitleLayer>()) {
    setCell(cell ? std::move(cell) : std::make_unique<WVKeyboardCell>());
    setButtonType(ButtonType::MomentaryChange);
    // Face, caption and overlay are kept pictures: a tall key (Return) costs little in bands.
    setDrawsInBands(true);
    if (!label.empty()) Button::setTitle(label);
    layer();
    setupLayers();
}

WVKeyboardButton::~WVKeyboardButton() {
    if (timer) timer->invalidate();
}

void WVKeyboardButton::setupLayers() {
    const Rect inner = bounds().insetBy(kInset, kInset);
    textLayer->setFrame(inner);
    textLayer->setAutoresizingMask(Layer::WidthSizable | Layer::HeightSizable);

    animationLayer->setHidden(true);
    animationLayer->setFrame(inner);
    animationLayer->setCornerRadius(4.0);
    animationLayer->setBackgroundColor(highlightColor());
    animationLayer->setAutoresizingMask(Layer::WidthSizable | Layer::HeightSizable);

    layer()->addSublayer(animationLayer);
    layer()->addSublayer(textLayer);
    textLayer->setNeedsDisplay();
}

void WVKeyboardButton::setTitle(const std::string& title) {
    equivalentKey = title;
    const Font font = Font::system(Font::systemFontSize() * uiScaleFactor(), FontWeight::Medium);
    const std::string shown = captionText(title, captionLocale);
    AttributedString caption =
        makeAttributedString(shown, TextAlignment::Center, font, Color::white());
    // Captions are set again for every key whenever a line starts or a modifier changes;
    // only a caption that reads differently is drawn again.
    if (textLayer->attrStr != caption) {
        textLayer->attrStr = std::move(caption);
        textLayer->setNeedsDisplay();
    }
    // The cell places the home-row mark under the title's line in this font.
    setFont(font);
    Button::setTitle(title);
}

std::string WVKeyboardButton::captionText(const std::string& title, const std::string& locale) {
    std::string shown;
    for (const std::string& character : text::characters(title)) {
        const std::string upper = text::upper(character, locale.c_str());
        shown += text::lower(upper, locale.c_str()) == character || upper == character ? upper
                                                                                       : character;
    }
    return shown;
}

void WVKeyboardButton::startHighlightAnimation() {
    if (timer) timer->invalidate();
    animationLayer->setHidden(false);
    animationLayer->removeAllAnimations();
    animationLayer->setBackgroundColor(highlightColor());
    animationLayer->addAnimation(
        opacityAnimation(0.7, 0.2, 0.75, true, double(std::numeric_limits<float>::max())),
        kOpacityKey);
}

void WVKeyboardButton::flashError() {
    if (heatMapOn) return;
    if (timer) timer->invalidate();
    animationLayer->setHidden(false);
    animationLayer->removeAllAnimations();
    animationLayer->setBackgroundColor(errorColor());
    animationLayer->addAnimation(opacityAnimation(0.6, 0.0, 3.2, false, 1), kOpacityKey);
    QPointer<WVKeyboardButton> self(this);
    timer = Timer::scheduled(kFlashSeconds, false, [self](Timer&) {
        if (self) self->stopHighlightAnimation();
    });
}

void WVKeyboardButton::stopHighlightAnimation() {
    if (timer) timer->invalidate();
    timer.reset();
    layer()->removeAllAnimations();
    // A hidden overlay keeps no animation running, or the view would keep redrawing for it.
    animationLayer->removeAllAnimations();
    animationLayer->setHidden(true);
}

float WVKeyboardButton::heatOpacity(float level) {
    if (level < 0) return 0.3f;
    return 0.3f + 0.7f * std::min(1.0f, level);
}

void WVKeyboardButton::showHeatMap(bool error, float level) {
    if (!equivalentKey) return;
    isError = error;
    setAlternateImage(Image::named(error ? "keyBorderError" : "keyBorderCorrect"));
    if (error) {
        textLayer->setOpacity(1.0);
        if (timer) timer->invalidate();
        timer.reset();
        layer()->removeAllAnimations();
        animationLayer->removeAllAnimations();
        animationLayer->setBackgroundColor(errorColor());
        animationLayer->setOpacity(heatOpacity(level));
        animationLayer->setHidden(false);
    } else {
        animationLayer->setHidden(true);
    }
    heatMapOn = true;
}

void WVKeyboardButton::draw(QPainter& painter, const Rect&) {
    ButtonCell* c = &cell();
    const bool titleShown =
        !dynamic_cast<WVKeyboardCell*>(c) || dynamic_cast<WVKeyboardCentralCell*>(c);
    face_.draw(painter, *this, titleShown);
}

}  // namespace wv
