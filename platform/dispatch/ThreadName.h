#pragma once

#include <optional>
#include <string>

namespace wv {

// The name a thread was given by the program (serial queues name their threads after their
// label). Linux gives every thread a kernel name; this is only what we set ourselves, so an
// unnamed thread can be told from one named "".
void setCurrentThreadName(std::string name);
std::optional<std::string> givenThreadName();

}  // namespace wv
