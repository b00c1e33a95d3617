#pragma once

#include <functional>

namespace wv::rx {

// Where `observeOn` runs the events it receives. An implementation must run the work items it
// is given one at a time, in the order given (a serial queue), so events keep their order.
class Scheduler {
public:
    virtual ~Scheduler();
    virtual void schedule(std::function<void()> work) = 0;
};

}  // namespace wv::rx
