#include "app/WVHintView.h"

#include <QPainter>
#include <algorithm>

#include "app/TextHelpers.h"
#include "app/artwork/Artwork.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/TextField.h"

namespace wv {

namespace {
constexpr double kKeyGap = 4.0;  // between key caps, and between a leading key row and the text
constexpr double kWideKeyPerChar = 7.0;  // a cap widens by this per character after the first
constexpr double kCaptionInset = 1.0;
constexpr double kMargin = 10.0;
constexpr double kUnboundedHeight = 1e6;
const char* const kBubble = "hintBubble";

// The bubble behind a tip; stretched to the tip's height.
void registerBubble() {
    if (Image::named(kBubble)) return;
    Image::registerNamed(kBubble, Size{200, 60}, [](QPainter& p, Size s) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(255, 255, 255, 40), 1));
        p.setBrush(QColor(58, 58, 72, 235));
        p.drawRoundedRect(QRectF(0.5, 0.5, s.width - 1, s.height - 1), 10, 10);
    });
}

AttributedString whiteCentred(const std::string& text) {
    return makeAttributedString(text, TextAlignment::Center, Font::system(), Color::white());
}
}  // namespace

WVHintTextView::WVHintTextView(const Rect& frame) : View(frame) { setFlipped(true); }

void WVHintTextView::setTextStorage(AttributedString text) {
    text_ = std::move(text);
    setNeedsDisplay();
}

Rect WVHintTextView::usedRect(double width) const {
    return usedTextRect(text_, width, kUnboundedHeight);
}

void WVHintTextView::draw(QPainter& painter, const Rect&) {
    Graphics::drawText(painter, text_, bounds(), true);
}

const char* WVHintView::iconName(WVHintIconStyle style) {
    switch (style) {
        case WVHintIconStyle::email:
            return "tipMail";
        case WVHintIconStyle::info:
            return "tipInfoIcon";
        case WVHintIconStyle::award:
            return "tipUp";
        case WVHintIconStyle::retry:
            return "tipDown";
        case WVHintIconStyle::admit:
            return "tipHeartIcon";
    }
    return "tipInfoIcon";
}

WVHintView::WVHintView(const Rect& frame) : View(frame) {
    Artwork::registerAll();
    registerBubble();
    setFlipped(true);
    const double W = frame.width();
    backgroundImage = new ImageView(Rect(0, 0, W, frame.height()), Image::named(kBubble));
    backgroundImage->setImageScaling(ImageScaling::AxesIndependently);
    backgroundImageSmall = new ImageView(Rect(0, 0, W, frame.height()), Image::named(kBubble));
    backgroundImageSmall->setImageScaling(ImageScaling::AxesIndependently);
    backgroundImageSmall->setHidden(true);
    addSubview(backgroundImage);
    addSubview(backgroundImageSmall);
    // The icon's frame leaves room on its right, so the text starting at its edge has a gap.
    // It is as tall as a key cap: text centred on the icon then stands on the same line as a
    // leading key row, and the icon ends where a one-line tip's content does, inside the panel.
    iconView = new ImageView(Rect(kMargin, kMargin, 52, containerHeight));
    iconView->setImageScaling(ImageScaling::ProportionallyDown);
    addSubview(iconView);
    scrollView = new ScrollView(
        Rect(iconView->frame().maxX(), kMargin, W - iconView->frame().maxX(), containerHeight));
    textView = new WVHintTextView(scrollView->bounds());
    scrollView->setDocumentView(textView);
    addSubview(scrollView);
    keyContainer = new View(
        Rect(iconView->frame().maxX(), kMargin, W - iconView->frame().maxX(), containerHeight));
    keyContainer->setFlipped(true);
    keyContainer->setHidden(true);
    addSubview(keyContainer);
    leftButton = new Button(Rect(W * 0.5 - 130, 0, 120, 28));
    rightButton = new Button(Rect(W * 0.5 + 10, 0, 120, 28));
    for (Button* b : {leftButton, rightButton}) {
        b->setImage(Image::named("tipMainButton"));
        b->setHidden(true);
        addSubview(b);
    }
}

void WVHintView::setIcon(WVHintIconStyle style) {
    if (iconView) iconView->setImage(Image::named(iconName(style)));
}

void WVHintView::showHint(WVHintIconStyle icon, const AttributedString& newText,
                          const std::vector<std::string>& keys, WVKeyContainerPosition position) {
    text = newText;
    setIcon(icon);
    if (leftButton) leftButton->setHidden(true);
    if (rightButton) rightButton->setHidden(true);
    hasAlertButtons = false;
    if (!keys.empty()) {
        if (keyContainer) keyContainer->setHidden(false);
        hasKeys = true;
        removeKeyViews();
        keysArray = keys;
    } else {
        if (keyContainer) keyContainer->setHidden(true);
        hasKeys = false;
    }
    keyPosition = position;
    layoutHint();
}

void WVHintView::showAlert(const std::string& leftTitle, std::function<void(Control&)> leftAction,
                           const std::string& rightTitle,
                           std::function<void(Control&)> rightAction) {
    if (leftButton) {
        leftButton->setAttributedTitle(whiteCentred(leftTitle));
        leftButton->action = std::move(leftAction);
        leftButton->setHidden(false);
    }
    if (rightButton) {
        rightButton->setAttributedTitle(whiteCentred(rightTitle));
        rightButton->action = std::move(rightAction);
        rightButton->setHidden(false);
    }
    hasAlertButtons = true;
    if (keyContainer) keyContainer->setHidden(true);
    hasKeys = false;
    keyPosition = WVKeyContainerPosition::bottom;
}

void WVHintView::removeKeyViews() {
    if (!keyContainer) return;
    const std::vector<View*> subs = keyContainer->subviews();
    for (View* sub : subs) {
        sub->removeFromSuperview();
        delete sub;
    }
}

Size WVHintView::textAreaSize() const {
    const double iconMaxX = iconView ? iconView->frame().maxX() : 0;
    double width = frame().width() - iconMaxX;
    if (keyPosition == WVKeyContainerPosition::leading && keyContainer)
        width -= keyContainer->frame().width();
    return Size{width, containerHeight};
}

Point WVHintView::textOrigin() const {
    const Rect icon = iconView ? iconView->frame() : Rect();
    double x = icon.maxX();
    if (keyPosition == WVKeyContainerPosition::leading && keyContainer)
        x += keyContainer->frame().width() + kKeyGap;
    const double textHeight = scrollView ? scrollView->frame().height() : 0;
    const double y =
        textHeight > icon.height() ? icon.minY() : icon.minY() + (icon.height() - textHeight) * 0.5;
    return Point{x, y};
}

void WVHintView::layoutText() {
    if (!scrollView || !textView) return;
    scrollView->setFrameSize(textAreaSize());
    textView->setTextStorage(whiteTextWithLineSpacing(text.value_or(AttributedString())));
    const Rect used = textView->usedRect(scrollView->frame().width());
    scrollView->setFrameSize(used.size);
    textView->setFrame(Rect(0, 0, used.maxX(), used.maxY()));
    scrollView->setFrameOrigin(textOrigin());
}

void WVHintView::layoutHint() {
    const Rect icon = iconView ? iconView->frame() : Rect();
    if (hasKeys && keyContainer) {
        Rect container = keyContainer->frame();
        container.size.width = frame().width() - icon.maxX();
        keyContainer->setFrame(container);
        const double h = containerHeight;
        const std::vector<std::string> labels = keysArray.value_or(std::vector<std::string>{});
        for (size_t i = 0; i < labels.size(); ++i) {
            const double x = (h + kKeyGap) * double(i);
            const size_t characters = text::characterCount(labels[i]);
            double w = h;
            if (characters >= 2) {
                w = h + kWideKeyPerChar * double(characters - 1);
                keyContainer->setFrameSize(Size{w, h});
            }
            auto* cap = new ImageView(Rect(x, 0, w, h), Image::named("tipMainButton"));
            cap->setImageScaling(ImageScaling::AxesIndependently);
            keyContainer->addSubview(cap);
            auto* caption = new TextField(Rect(x, 0, w, h).insetBy(kCaptionInset, kCaptionInset));
            caption->setAttributedStringValue(whiteCentred(labels[i]));
            keyContainer->addSubview(caption);
        }
    }
    layoutText();
    const Rect text = scrollView ? scrollView->frame() : Rect();
    double bottom = 0;
    if (hasKeys && keyContainer && keyPosition == WVKeyContainerPosition::bottom) {
        keyContainer->setFrameOrigin(Point{keyContainer->frame().x(), text.maxY() + kMargin});
        bottom = keyContainer->frame().maxY() + kMargin;
    } else if (hasKeys && keyContainer) {
        keyContainer->setFrameOrigin(Point{icon.maxX(), kMargin});
        bottom = std::max(keyContainer->frame().maxY(), text.maxY()) + kMargin;
    } else {
        bottom = std::max(icon.maxY(), text.maxY()) + kMargin;
    }
    auto setHeight = [](View* view, double height) {
        if (view) view->setFrameSize(Size{view->frame().width(), height});
    };
    if (hasAlertButtons) {
        if (backgroundImageSmall) backgroundImageSmall->setHidden(false);
        if (backgroundImage) backgroundImage->setHidden(true);
        for (Button* b : {leftButton, rightButton})
            if (b) b->setFrameOrigin(Point{b->frame().x(), bottom});
        setHeight(backgroundImageSmall, bottom);
    } else {
        if (backgroundImageSmall) backgroundImageSmall->setHidden(true);
        if (backgroundImage) backgroundImage->setHidden(false);
        setHeight(backgroundImage, bottom);
    }
}

bool WVHintView::isEnterHint() const {
    if (!hasKeys || !keysArray || keysArray->empty()) return false;
    return keysArray->front() == "Enter";
}

}  // namespace wv
