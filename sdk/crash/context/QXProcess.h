#pragma once

// Process facts the context initialisation needs before it installs any handler.

#include <string>

namespace wv {

// True when a debugger traces the process: a TracerPid other than 0 in /proc/self/status.
// False with a warning when the status cannot be read.
bool QXProcessDebuggerAttached();
// The same over any status file (tests).
bool QXProcessDebuggerAttachedFromStatus(const std::string& statusPath);

}  // namespace wv
