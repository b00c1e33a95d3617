#pragma once

#include <cstddef>

namespace wv {

// A signal stack of its own for the calling thread, with an inaccessible guard page below it,
// so a crash handler can run on a thread whose own stack has overflowed. Alternate stacks are
// per thread: the one installed here serves only the thread that installed it. Uninstalling
// (or the end of the thread) puts the previous one back and unmaps the memory.
class AlternateSignalStack {
  public:
    static constexpr size_t kSize = 262144;

    // False (nothing changed) when the memory cannot be mapped or the stack not installed.
    // A second call on the same thread keeps the first stack.
    static bool installForCurrentThread();
    static void uninstallForCurrentThread();
    static bool isInstalledForCurrentThread();
};

}  // namespace wv
