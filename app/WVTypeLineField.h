#pragma once

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

  protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;

  private:
    StyledText styled_;
};

// A plain colour of model code as the interface's colour.
Color toColor(const RGBColor& color);

}  // namespace wv
