#pragma once

#include "platform/ui/View.h"
#include "platform/ui/values/Color.h"

namespace wv::screens {

// The frame behind the diagram: two dashed guide lines, at the top of the speed scale and at
// its half, with their values in a 56-point column at the right edge. Coordinates grow
// upward; the scale runs from 0 at the bottom edge to its maximum 30 points below the top.
class WVStatisticsView : public View {
  public:
    explicit WVStatisticsView(const Rect& frame = {});

    double lineOffsetX = 56.0;
    Color greyColor = Color::rgb255(151, 151, 151);
    Color lightBlueColor = Color::rgb255(158, 170, 194);
    int midSpeedTitleValue = 0;
    int maxSpeedTitleValue = 0;

    double middleLineY() const;
    double upperLineY() const;
    double lineEndX() const;
    Rect middleCaptionRect() const;
    Rect upperCaptionRect() const;

  protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;
    void drawGuideLines(QPainter& painter);
    void drawSpeedCaptions(QPainter& painter);
};

}  // namespace wv::screens
