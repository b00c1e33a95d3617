#include "platform/ui/AnimationDriver.h"

#include <QCoreApplication>
#include <QTimer>

#include "platform/ui/View.h"

namespace wv {

AnimationDriver& AnimationDriver::shared() {
    static AnimationDriver driver;
    return driver;
}

void AnimationDriver::watch(View* view) {
    if (!view) return;
    for (auto& v : views_)
        if (v == view) return;
    views_.emplace_back(view);
    if (!QCoreApplication::instance()) return;
    if (!timer_) {
        timer_ = new QTimer(QCoreApplication::instance());
        timer_->setInterval(16);
        QObject::connect(timer_, &QTimer::timeout, [this] { tick(); });
    }
    if (!timer_->isActive()) timer_->start();
}

void AnimationDriver::tick() {
    auto views = views_;
    views_.clear();
    for (auto& view : views) {
        if (!view) continue;
        view->applyPresentation(false);
        view->update();
        if (view->hasRunningAnimations()) views_.push_back(view);
    }
    if (views_.empty() && timer_) timer_->stop();
}

}  // namespace wv
