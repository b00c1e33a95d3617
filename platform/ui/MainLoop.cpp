#include "platform/ui/MainLoop.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <cmath>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainQueue.h"

namespace wv {

namespace {
QPointer<QTimer> timer;

void pump() {
    MainQueue::shared().runDue();
    if (!timer) return;
    if (auto next = MainQueue::shared().nextDueTime()) {
        const double wait = *next - Clock::current().now();
        timer->start(wait <= 0 ? 0 : int(std::ceil(wait * 1000)));
    } else {
        timer->stop();
    }
}
}  // namespace

void MainLoop::install() {
    auto* app = QCoreApplication::instance();
    if (!app || timer) return;
    timer = new QTimer(app);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, [] { pump(); });
    MainQueue::shared().setWakeUp([] {
        if (auto* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [] { pump(); }, Qt::QueuedConnection);
    });
    QMetaObject::invokeMethod(app, [] { pump(); }, Qt::QueuedConnection);
}

bool MainLoop::isInstalled() { return timer != nullptr; }

void MainLoop::uninstall() {
    MainQueue::shared().setWakeUp(nullptr);
    delete timer.data();
}

}  // namespace wv
