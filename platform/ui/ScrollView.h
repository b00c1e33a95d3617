#pragma once

#include "platform/ui/View.h"

namespace wv {

// Shows part of a larger document view through a clip view that fills it; scrolling moves the
// document inside the clip. Points and rectangles are in the document's coordinates.
class ScrollView : public View {
public:
    explicit ScrollView(const Rect& frame = {});

    View* documentView() const { return document_; }
    void setDocumentView(View* view);  // takes ownership
    View* contentView() const { return clip_; }
    Rect documentVisibleRect() const;
    // Scrolls so that `origin` of the document is the visible rectangle's origin (kept
    // within the document).
    void scrollToPoint(Point origin);

    static ScrollView* enclosing(const View* view);

    void scrollWheel(const MouseEvent& event) override;

protected:
    void frameSizeChanged(Size oldSize) override;

private:
    View* clip_ = nullptr;
    View* document_ = nullptr;
};

}  // namespace wv
