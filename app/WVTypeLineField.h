#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/StyledText.h"
#include "platform/ui/TextField.h"

namespace wv {

// The exercise line: the line's styled text drawn on one line, centred in the field's height,
// with the background colour a character may carry (the cursor) drawn behind it.
class WVTypeLineField : public TextField {
  public:
    explicit WVTypeLineField(const Rect& frame = {});

    // Shows the styled text in the field's current font.
    void setStyledText(const StyledText& text);
    // The same text in the field's font after it changed.
    void refreshFont();
    // `proposed` made small enough that the text, laid out as it is drawn, fits the field's
    // width: a size worked out from the text at a small size can come out a little too wide
    // where the desktop's fonts do not grow in proportion.
    Font fittingFont(const Font& proposed);

  protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;

  private:
    StyledText styled_;
    // The last answer of fittingFont, for the same text, width and proposal.
    struct Fit {
        std::string text;
        double width = 0;
        Font proposed, fitted;
    };
    std::optional<Fit> lastFit_;
};

// A plain colour of model code as the interface's colour.
Color toColor(const RGBColor& color);

}  // namespace wv
