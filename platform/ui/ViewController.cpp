#include "platform/ui/ViewController.h"

#include <algorithm>

#include "platform/ui/View.h"

namespace wv {

ViewController::~ViewController() {
    for (auto& p : presented_) p.controller->presenter_ = nullptr;
    if (view_) {
        view_->controller_ = nullptr;
        delete view_.data();
    }
}

View* ViewController::view() {
    if (!view_) {
        loadView();
        if (!view_) setView(new View(Rect(0, 0, 100, 100)));
        viewDidLoad();
    }
    return view_.data();
}

void ViewController::setView(View* view) {
    if (view_ == view) return;
    if (view_) view_->controller_ = nullptr;
    view_ = view;
    if (view) view->controller_ = this;
}

void ViewController::loadView() { setView(new View(Rect(0, 0, 100, 100))); }

void ViewController::presentViewController(std::shared_ptr<ViewController> controller,
                                           std::shared_ptr<PresentationAnimator> animator) {
    if (!controller || !animator) return;
    controller->presenter_ = this;
    presented_.push_back({controller, animator});
    controller->view();
    controller->viewWillAppear();
    animator->animatePresentation(*controller, *this);
    controller->viewDidAppear();
}

void ViewController::dismissViewController(ViewController* controller) {
    auto it = std::find_if(presented_.begin(), presented_.end(),
                           [&](const Presentation& p) { return p.controller.get() == controller; });
    if (it == presented_.end()) return;
    Presentation presentation = *it;  // kept alive while the animator runs
    presented_.erase(it);
    presentation.controller->viewWillDisappear();
    presentation.animator->animateDismissal(*presentation.controller, *this);
    presentation.controller->viewDidDisappear();
    presentation.controller->presenter_ = nullptr;
}

void ViewController::dismissController() {
    if (presenter_) presenter_->dismissViewController(this);
}

std::vector<std::shared_ptr<ViewController>> ViewController::presentedViewControllers() const {
    std::vector<std::shared_ptr<ViewController>> list;
    for (auto& p : presented_) list.push_back(p.controller);
    return list;
}

}  // namespace wv
