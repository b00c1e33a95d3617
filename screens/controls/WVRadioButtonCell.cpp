#include "screens/controls/WVRadioButtonCell.h"

#include "platform/ui/Button.h"
#include "platform/ui/TextMeasurer.h"

namespace wv {

namespace {
constexpr std::string_view kBullet = "\xE2\x80\xA2";  // U+2022
// Space between the end of the title and the picture.
constexpr double kImageGap = 8;
}  // namespace

const Color& WVRadioButtonCell::onColor() {
    static const Color color = Color::rgb(0.94140625, 0.5859375, 0.109375);
    return color;
}

const Color& WVRadioButtonCell::offColor() {
    static const Color color = Color::white();
    return color;
}

const Color& WVRadioButtonCell::bulletColor() {
    static const Color color = Color::rgb(0.53515625, 0.53515625, 0.53515625);
    return color;
}

AttributedString WVRadioButtonCell::recolouredTitle(const AttributedString& title, int state) {
    TextAttributes colour;
    colour.foreground = state == 1 ? onColor() : offColor();
    AttributedString coloured = title;
    coloured.addAttributes(colour);
    const std::string text = coloured.string();
    const size_t bullet = text.find(kBullet);
    if (bullet == std::string::npos) return coloured;

    // Rebuild run by run so each run keeps its attributes; the first bullet turns grey.
    TextAttributes grey;
    grey.foreground = bulletColor();
    AttributedString result;
    size_t at = 0;
    for (const AttributedString::Run& run : coloured.runs()) {
        const size_t start = at, end = at + run.text.size();
        at = end;
        if (bullet < start || bullet >= end) {
            result.append(run.text, run.attributes);
            continue;
        }
        const size_t local = bullet - start;
        if (local > 0) result.append(run.text.substr(0, local), run.attributes);
        result.append(kBullet, run.attributes.merged(grey));
        if (local + kBullet.size() < run.text.size())
            result.append(run.text.substr(local + kBullet.size()), run.attributes);
    }
    return result;
}

void WVRadioButtonCell::drawInteriorWithFrame(QPainter& painter, const Rect& frame,
                                              Button& button) {
    const AttributedString title = button.attributedTitle();
    if (!title.empty()) drawTitle(painter, title, titleRectForBounds(frame, button), button);
    if (ImagePtr image = button.currentImage())
        drawImage(painter, *image, imageRectForBounds(frame, button), button);
}

Rect WVRadioButtonCell::drawTitle(QPainter& painter, const AttributedString& title,
                                  const Rect& frame, Button& button) {
    const AttributedString coloured = recolouredTitle(title, button.state());
    // Kept as the button's title only when it changed: the store asks for one more paint,
    // which then finds the same title and stops.
    if (!(button.attributedTitle() == coloured)) button.setAttributedTitle(coloured);
    return ButtonCell::drawTitle(painter, coloured, frame, button);
}

Rect WVRadioButtonCell::baseImageRect(const Rect& bounds, Button& button) const {
    ImagePtr image = button.currentImage();
    if (!image) return Rect(bounds.maxX(), bounds.midY(), 0, 0);
    const Size size = image->size();
    const Size title = TextMeasurer::current().size(button.attributedTitle());
    const double x = std::min(bounds.minX() + title.width + kImageGap, bounds.maxX() - size.width);
    return Rect(x, bounds.minY() + (bounds.height() - size.height) / 2, size.width, size.height);
}

Rect WVRadioButtonCell::imageRectForBounds(const Rect& bounds, Button& button) const {
    return baseImageRect(bounds, button).offsetBy(-2.0, 0);
}

Rect WVRadioButtonCell::titleRectForBounds(const Rect& bounds, Button&) const { return bounds; }

}  // namespace wv
