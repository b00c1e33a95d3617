#pragma once

#include <functional>
#include <memory>

namespace wv {

class GlobalQueue;
class SerialQueue;

// A repeating timer whose handler runs off the main thread, on a serial queue or the global
// pool: first one interval after construction, then every interval from that first due time
// (a beat missed while the main run loop was busy is skipped, not made up). The leeway is how
// late a beat may come; beats here come at their due time, so it only bounds lateness.
//
// Timing rides on the main queue and Clock::current(), so tests move it with ManualRunLoop.
// Once cancel() or the destructor returned, the handler never starts again, and a handler
// running on another thread has ended (a handler may cancel or destroy its own timer).
// The queue must outlive the timer.
class TimerSource {
public:
    using Handler = std::function<void()>;

    TimerSource(SerialQueue& queue, double interval, double leeway, Handler handler);
    TimerSource(GlobalQueue& queue, double interval, double leeway, Handler handler);
    ~TimerSource();
    TimerSource(const TimerSource&) = delete;
    TimerSource& operator=(const TimerSource&) = delete;

    void cancel();
    bool isCancelled() const;
    double interval() const { return interval_; }
    double leeway() const { return leeway_; }

    struct State;

private:
    TimerSource(std::function<void(std::function<void()>)> post, double interval, double leeway,
                Handler handler);

    double interval_;
    double leeway_;
    std::shared_ptr<State> state_;
};

}  // namespace wv
