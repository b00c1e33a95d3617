#include "platform/dispatch/TimerSource.h"

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/SerialQueue.h"

namespace wv {

namespace {
// A zero or negative interval would make the timer spin the main thread.
constexpr double kMinimumInterval = 0.0001;
}  // namespace

struct TimerSource::State : std::enable_shared_from_this<TimerSource::State> {
    std::function<void(std::function<void()>)> post;
    Handler handler;
    double interval = 0;
    mutable std::mutex mutex;
    std::condition_variable idle;
    bool cancelled = false;
    bool running = false;
    std::thread::id runningOn;
    double dueTime = 0;

    // On the main thread: hands a beat to the queue and books the next one.
    void beat() {
        {
            std::lock_guard lock(mutex);
            if (cancelled) return;
            const double now = Clock::current().now();
            dueTime += interval;
            if (dueTime <= now) dueTime += std::ceil((now - dueTime) / interval + 1e-9) * interval;
        }
        post([self = shared_from_this()] { self->fire(); });
        book();
    }

    void book() {
        double due;
        {
            std::lock_guard lock(mutex);
            due = dueTime;
        }
        MainQueue::shared().asyncAt(due, [weak = weak_from_this()] {
            if (auto self = weak.lock()) self->beat();
        });
    }

    // On the target queue.
    void fire() {
        {
            std::lock_guard lock(mutex);
            if (cancelled) return;
            running = true;
            runningOn = std::this_thread::get_id();
        }
        handler();
        {
            std::lock_guard lock(mutex);
            running = false;
        }
        idle.notify_all();
    }

    void cancel() {
        std::unique_lock lock(mutex);
        cancelled = true;
        idle.wait(lock, [this] { return !running || runningOn == std::this_thread::get_id(); });
    }
};

TimerSource::TimerSource(SerialQueue& queue, double interval, double leeway, Handler handler)
    : TimerSource([&queue](std::function<void()> b) { queue.async(std::move(b)); }, interval,
                  leeway, std::move(handler)) {}

TimerSource::TimerSource(GlobalQueue& queue, double interval, double leeway, Handler handler)
    : TimerSource([&queue](std::function<void()> b) { queue.async(std::move(b)); }, interval,
                  leeway, std::move(handler)) {}

TimerSource::TimerSource(std::function<void(std::function<void()>)> post, double interval,
                         double leeway, Handler handler)
    : interval_(interval > kMinimumInterval ? interval : kMinimumInterval),
      leeway_(leeway > 0 ? leeway : 0),
      state_(std::make_shared<State>()) {
    state_->post = std::move(post);
    state_->handler = std::move(handler);
    state_->interval = interval_;
    state_->dueTime = Clock::current().now() + interval_;
    state_->book();
}

TimerSource::~TimerSource() { cancel(); }

void TimerSource::cancel() { state_->cancel(); }

bool TimerSource::isCancelled() const {
    std::lock_guard lock(state_->mutex);
    return state_->cancelled;
}

}  // namespace wv
