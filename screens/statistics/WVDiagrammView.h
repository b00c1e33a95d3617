#pragma once

#include <QImage>
#include <QPainter>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/LessonInfo.h"
#include "platform/ui/View.h"
#include "platform/ui/values/Color.h"

namespace wv::screens {

class WVLessonDetailsViewController;

// The bar diagram of the statistics screen: one column per lesson record, 11 points apart
// from the left, a speed bar rising from y 31 and a typo bar hanging from y 30, with random
// placeholder columns to the left when the records do not fill the visible width. It lives
// inside a scroll view; hovering a bar shows the details pop-over beside the pointer.
// Coordinates grow upward. Main thread only.
class WVDiagrammView : public View {
  public:
    explicit WVDiagrammView(const Rect& frame = {});

    double barWidth = 10.0;
    double barOffsetX = 1.0;
    Color selectionColor = Color::rgb(103 / 255.0, 173 / 255.0, 1.0);
    std::vector<int> randomTypos;
    std::vector<int> randomSpeeds;  // as many as randomTypos
    std::vector<std::string> lessonBars{"bar1", "bar2", "bar3", "bar4", "bar5", "bar6", "bar7"};
    // Absent until the screen hands records over; then a list, possibly empty.
    std::optional<std::vector<LessonInfoPtr>> lessons;
    bool isPopoverShown = false;
    std::shared_ptr<WVLessonDetailsViewController> popoverContentController;
    int maxSpeed = 1;       // display speed that fills the speed band
    int maxTyposCount = 1;  // typo count that fills the 30-point typo band
    LessonInfoPtr selectedLesson;

    int selectedIndex() const { return selectedIndex_; }
    // Marks the old and the new column for redisplay when the index changes.
    void setSelectedIndex(int index);

    int placeholderCount() const;
    double diagramWidth() const;
    void generateRandomBars();
    Rect typosBarRect(int column) const;
    Rect speedBarRect(int column) const;
    void scrollToEnd();

    // The two columns' bar rectangles, grown by one point: what a selection change redraws.
    Rect selectionChangeRect(int from, int to) const;
    // Height of the speed band: nint(H - 60), never below 0.
    int speedBand() const;

    // A press is the start of a drag; the diagram keeps it so the drag comes here.
    void mouseDown(const MouseEvent& event) override;
    void mouseMoved(const MouseEvent& event) override;
    void mouseExited(const MouseEvent& event) override;
    void mouseDragged(const MouseEvent& event) override;
    void scrollWheel(const MouseEvent& event) override;

  protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;
    void drawBars(QPainter& painter, const Rect& dirtyRect);
    void drawSpeedBar(QPainter& painter, int column);
    void drawSelection(QPainter& painter);
    // Every picture of the diagram is drawn through here.
    virtual void drawImageNamed(QPainter& painter, const std::string& name, const Rect& rect,
                                QPainter::CompositionMode mode);

  private:
    struct BarPicture {
        std::string name;
        int width = 0;
        double scale = 0;
        QImage picture;
    };
    // A bar of any height drawn from one picture per image and width: its rounded ends come
    // from the picture's ends and its middle is stretched. A picture per height would be made
    // anew for almost every bar, as records differ in height.
    bool drawBar(QPainter& painter, const std::string& name, const Rect& rect);
    const QImage* barPicture(const std::string& name, double width, double scale);

    int columnCount() const;
    const LessonInfo* lessonAt(int column) const;  // null for placeholders and past the end
    int typoValue(int column) const;
    int speedValue(int column) const;
    void showDetails(Point windowPoint, LessonInfoPtr lesson);
    void hidePopover();
    void scrollBy(double delta, Point inView);

    int selectedIndex_ = 0;
    std::vector<BarPicture> barPictures_;
};

}  // namespace wv::screens
