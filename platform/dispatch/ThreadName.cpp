#include "platform/dispatch/ThreadName.h"

#include <pthread.h>

namespace wv {

namespace {
thread_local std::optional<std::string> name;
}

void setCurrentThreadName(std::string newName) {
    // The kernel keeps at most 15 bytes; it only helps debuggers, so a shortened name is fine.
    pthread_setname_np(pthread_self(), newName.substr(0, 15).c_str());
    name = std::move(newName);
}

std::optional<std::string> givenThreadName() { return name; }

}  // namespace wv
