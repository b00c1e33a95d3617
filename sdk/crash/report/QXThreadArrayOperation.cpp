#include "sdk/crash/report/QXThreadArrayOperation.h"

namespace wv {

void QXThreadArrayOperation::enumerateFramesWithBlock(
    const std::function<void(QXStackFrame& frame, size_t index)>& block) {
    if (!threadArray_ || !block) return;
    for (std::vector<QXStackFrame>& thread : *threadArray_) {
        for (size_t i = 0; i < thread.size(); ++i) {
            block(thread[i], i);
            if (isCancelled()) break;
        }
    }
}

}  // namespace wv
