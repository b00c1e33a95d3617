#pragma once

#include <memory>

#include "platform/rx/Scheduler.h"

namespace wv::rx {

// Runs every work item at once on the calling thread: delivery stays synchronous.
class ImmediateScheduler : public Scheduler {
public:
    static std::shared_ptr<ImmediateScheduler> instance();
    void schedule(std::function<void()> work) override;
};

}  // namespace wv::rx
