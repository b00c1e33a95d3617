#pragma once

// Memory reads of a walk. Each read of foreign memory goes through the kernel (a system call),
// and a walk makes many small reads of the same stack and the same tables; so while a cursor
// steps, its scratch keeps a window of stack bytes read with one call and the table pages
// already found readable. Outside a step (or on a thread that is not stepping) every read is
// a plain safe read.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio. The walk in progress is
// found through one thread-local pointer (initial-exec model: no allocation on first use).
// The scratch is valid for one walk: QXUnwindInit zeroes it, and the stack a walk reads does
// not change under it (the walked threads are stopped; frames above the walked SP are callers
// that are not running).

#include <cstdint>

#include "sdk/crash/context/QXMachineContext.h"

namespace wv {

// Makes the cursor's scratch the one the reads of this thread use, until the scope ends.
class QXUnwindMemoryScope {
  public:
    explicit QXUnwindMemoryScope(QXUnwindCursor* cursor);
    ~QXUnwindMemoryScope();
    QXUnwindMemoryScope(const QXUnwindMemoryScope&) = delete;
    QXUnwindMemoryScope& operator=(const QXUnwindMemoryScope&) = delete;

  private:
    void* previous_;
};

// Stack or other foreign memory: false when any byte cannot be read.
bool QXUnwindReadMemory(uint64_t address, void* destination, uint64_t length);

// True when every page of [start, start + length) can be read. Long tables are not checked
// whole: their readers check each element they touch.
bool QXUnwindRangeIsReadable(uint64_t start, uint64_t length);

}  // namespace wv
