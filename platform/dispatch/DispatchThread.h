#pragma once

#include <string>

namespace wv {

// What every thread the dispatch layer starts does first: take the queue's label as its name,
// enter it in ThreadLabels, and get an alternate signal stack of its own, so a crash on it
// is recorded even when its stack has overflowed. Both are undone when the thread ends.
class DispatchThread {
  public:
    static void begin(const std::string& label);
};

}  // namespace wv
