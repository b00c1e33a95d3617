#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string_view>

namespace wv {

// The label of the queue each dispatch thread serves, by kernel thread id, in a fixed table
// that a crash handler can read while the process is stopped: no lock, no heap. A thread
// claims a slot when it starts serving a queue and frees it when it ends.
class ThreadLabels {
  public:
    static constexpr size_t kCapacity = 256;
    static constexpr size_t kLabelSize = 128;

    // The calling thread's label, cut to kLabelSize - 1 bytes. False when the table is full.
    static bool set(std::string_view label);
    static void clear();
    // Async-signal-safe: copies the label of `tid` (NUL-terminated) into `out`; "" and false
    // when the thread has none.
    static bool copy(pid_t tid, char* out, size_t size);
};

}  // namespace wv
