#include "sdk/crash/report/QXSymbolicationOperation.h"

namespace wv {

void QXSymbolicationOperation::main() {
    if (!symbolResolver_) return;
    enumerateFramesWithBlock([this](QXStackFrame& frame, size_t index) {
        symbolResolver_->updateStackFrame(
            frame, index == 0 ? QXSymbolResolver::FrameKind::InstructionPointer
                              : QXSymbolResolver::FrameKind::ReturnAddress);
    });
}

}  // namespace wv
