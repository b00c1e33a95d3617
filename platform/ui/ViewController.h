#pragma once

#include <QPointer>
#include <memory>
#include <vector>

#include "platform/ui/MouseEvent.h"
#include "platform/ui/PresentationAnimator.h"

namespace wv {

class View;

// Owns one view, made on first use by loadView(), and presents other controllers over itself
// through animators. A controller keeps the controllers it presents alive until they are
// dismissed.
class ViewController : public std::enable_shared_from_this<ViewController> {
public:
    ViewController() = default;
    virtual ~ViewController();
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    View* view();  // loads the view on first use
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(View* view);  // takes ownership

    virtual void viewDidLoad() {}
    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}
    virtual void viewWillDisappear() {}
    virtual void viewDidDisappear() {}
    // A click on the view that no subview took.
    virtual void mouseDown(const MouseEvent&) {}

    void presentViewController(std::shared_ptr<ViewController> controller,
                               std::shared_ptr<PresentationAnimator> animator);
    void dismissViewController(ViewController* controller);
    // Asks the presenting controller to dismiss this one.
    void dismissController();
    std::vector<std::shared_ptr<ViewController>> presentedViewControllers() const;
    ViewController* presentingViewController() const { return presenter_; }

protected:
    // Makes the view; by default an empty one.
    virtual void loadView();

private:
    struct Presentation {
        std::shared_ptr<ViewController> controller;
        std::shared_ptr<PresentationAnimator> animator;
    };
    QPointer<View> view_;
    std::vector<Presentation> presented_;
    ViewController* presenter_ = nullptr;
};

}  // namespace wv
