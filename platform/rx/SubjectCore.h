#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/rx/Disposable.h"
#include "platform/rx/Observer.h"

namespace wv::rx::detail {

// The shared state behind the subjects. Values go to the subscribers synchronously, on the
// sending thread, in the order they subscribed. The subscriber list is copied before each
// delivery and no lock is held while an observer runs, so an observer may subscribe,
// unsubscribe itself or others, or send again; one that was unsubscribed before its turn
// is not called.
template <typename T>
class SubjectCore : public std::enable_shared_from_this<SubjectCore<T>> {
public:
    explicit SubjectCore(std::optional<T> initial)
        : replays_(initial.has_value()), value_(std::move(initial)) {}

    Disposable subscribe(Observer<T> observer) {
        std::unique_lock lock(mutex_);
        if (disposed_) return Disposable();
        if (completed_) {
            lock.unlock();
            observer.completed();
            return Disposable();
        }
        auto entry = std::make_shared<Entry>(std::move(observer));
        entries_.push_back(entry);
        const std::optional<T> current = value_;
        lock.unlock();
        // A behaviour subject's newcomer first gets the latest value.
        if (current && entry->active) entry->observer.next(*current);
        std::weak_ptr<SubjectCore> weakSelf = this->shared_from_this();
        std::weak_ptr<Entry> weakEntry = entry;
        return Disposable([weakSelf, weakEntry] {
            auto entry = weakEntry.lock();
            if (!entry) return;
            entry->active = false;
            if (auto self = weakSelf.lock()) self->remove(entry);
        });
    }

    // Takes a copy: the sender's value may belong to an object a subscriber destroys.
    void onNext(T value) {
        std::vector<std::shared_ptr<Entry>> targets;
        {
            std::lock_guard lock(mutex_);
            if (completed_ || disposed_) return;
            if (replays_) value_ = value;
            targets = entries_;
        }
        for (const auto& e : targets) {
            if (e->active) e->observer.next(value);
        }
    }

    void onCompleted() {
        std::vector<std::shared_ptr<Entry>> targets;
        {
            std::lock_guard lock(mutex_);
            if (completed_ || disposed_) return;
            completed_ = true;
            targets.swap(entries_);
        }
        for (const auto& e : targets) {
            if (e->active.exchange(false)) e->observer.completed();
        }
    }

    // Ends the subject: subscribers are dropped without an event and nothing reaches anyone
    // any more.
    void dispose() {
        std::vector<std::shared_ptr<Entry>> dropped;
        {
            std::lock_guard lock(mutex_);
            disposed_ = true;
            dropped.swap(entries_);
        }
        for (const auto& e : dropped) e->active = false;
    }

    bool isDisposed() const {
        std::lock_guard lock(mutex_);
        return disposed_;
    }
    bool isCompleted() const {
        std::lock_guard lock(mutex_);
        return completed_;
    }
    std::optional<T> value() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    size_t subscriberCount() const {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }

private:
    struct Entry {
        explicit Entry(Observer<T> o) : observer(std::move(o)) {}
        Observer<T> observer;
        std::atomic<bool> active{true};
    };

    void remove(const std::shared_ptr<Entry>& entry) {
        std::lock_guard lock(mutex_);
        std::erase(entries_, entry);
    }

    const bool replays_;  // a behaviour subject
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
    std::optional<T> value_;
    bool completed_ = false;
    bool disposed_ = false;
};

}  // namespace wv::rx::detail
