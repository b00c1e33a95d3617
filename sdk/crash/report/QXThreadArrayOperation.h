#pragma once

// The frames of one crash file, one array per thread, innermost frame first, shared by the
// operations that resolve, demangle and write them. They run one after another on one
// thread, so the frames are changed in place without locks.

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/dispatch/Operation.h"
#include "sdk/crash/capture/QXStackFrame.h"

namespace wv {

using QXThreadArray = std::vector<std::vector<QXStackFrame>>;

class QXThreadArrayOperation : public Operation {
  public:
    explicit QXThreadArrayOperation(std::shared_ptr<QXThreadArray> threadArray)
        : threadArray_(std::move(threadArray)) {}

    const std::shared_ptr<QXThreadArray>& threadArray() const { return threadArray_; }
    void setThreadArray(std::shared_ptr<QXThreadArray> threadArray) {
        threadArray_ = std::move(threadArray);
    }

    // Every frame in order, with its place in its thread (0 is the thread's own instruction
    // pointer). Once the operation is cancelled, each thread's remaining frames are left
    // after the frame in hand, and the next thread is begun.
    void enumerateFramesWithBlock(
        const std::function<void(QXStackFrame& frame, size_t index)>& block);

  private:
    std::shared_ptr<QXThreadArray> threadArray_;
};

}  // namespace wv
