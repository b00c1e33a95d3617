#include "platform/foundation/ProcessInfo.h"

#include <string>

#include "platform/foundation/Log.h"

namespace wv {

ProcessInfo& ProcessInfo::shared() {
    static ProcessInfo info;
    return info;
}

void ProcessInfo::disableSuddenTermination() {
    std::lock_guard lock(mutex_);
    ++sudden_;
}

// Enabling more often than disabling is a caller's bug; the count stays at zero rather than
// going negative, which would hide a later disable.
void ProcessInfo::enableSuddenTermination() {
    std::lock_guard lock(mutex_);
    if (sudden_ > 0) --sudden_;
}

void ProcessInfo::disableAutomaticTermination(std::string_view) {
    std::lock_guard lock(mutex_);
    ++automatic_;
}

void ProcessInfo::enableAutomaticTermination(std::string_view reason) {
    std::lock_guard lock(mutex_);
    if (automatic_ > 0) {
        --automatic_;
    } else {
        Log::print("ProcessInfo: automatic termination enabled more often than disabled (" +
                   std::string(reason) + ")");
    }
}

int ProcessInfo::suddenTerminationDisabledCount() const {
    std::lock_guard lock(mutex_);
    return sudden_;
}

int ProcessInfo::automaticTerminationDisabledCount() const {
    std::lock_guard lock(mutex_);
    return automatic_;
}

}  // namespace wv
