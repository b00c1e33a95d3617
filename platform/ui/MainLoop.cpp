#include "platform/ui/MainLoop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <cmath>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainQueue.h"

namespace wv {

namespace {
QPointer<QTimer> timer;
// While the main thread runs the queue, blocks it adds need no wake-up: the timer is set for
// the next due block before the loop waits again. (An animation frame that asks for the next
// would otherwise cost the loop a second turn every frame.) A block may run a loop of its own
// (a modal window), so the count says how deep, and that loop sets the timer before it waits.
int pumping = 0;

void armTimer() {
    if (!timer) return;
    if (auto next = MainQueue::shared().nextDueTime()) {
        const double wait = *next - Clock::current().now();
        timer->start(wait <= 0 ? 0 : int(std::ceil(wait * 1000)));
    } else {
        timer->stop();
    }
}

void pump() {
    ++pumping;
    MainQueue::shared().runDue();
    --pumping;
    armTimer();
}
}  // namespace

void MainLoop::install() {
    auto* app = QCoreApplication::instance();
    if (!app || timer) return;
    timer = new QTimer(app);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, [] { pump(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, timer, [] {
            if (pumping > 0) armTimer();
        });
    MainQueue::shared().setWakeUp([] {
        if (pumping > 0 && isMainThread()) return;
        if (auto* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [] { pump(); }, Qt::QueuedConnection);
    });
    QMetaObject::invokeMethod(
        app, [] { pump(); }, Qt::QueuedConnection);
}

bool MainLoop::isInstalled() { return timer != nullptr; }

void MainLoop::uninstall() {
    MainQueue::shared().setWakeUp(nullptr);
    delete timer.data();
}

}  // namespace wv
