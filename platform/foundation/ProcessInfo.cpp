#include "platform/foundation/ProcessInfo.h"

#include <string>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

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
    if (sudden_ == 0) suddenAllowed_.notify_all();
}

bool ProcessInfo::waitUntilSuddenTerminationAllowed(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return suddenAllowed_.wait_for(lock, timeout, [this] { return sudden_ == 0; });
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

ProcessInfo::ActivityToken ProcessInfo::beginActivity(uint64_t options, std::string reason) {
    auto token = std::make_shared<const Activity>(Activity{options, std::move(reason)});
    std::lock_guard lock(mutex_);
    activities_.emplace(token.get(), token);
    return token;
}

void ProcessInfo::endActivity(const ActivityToken& token) {
    if (!token) return;
    std::lock_guard lock(mutex_);
    activities_.erase(token.get());
}

std::vector<ProcessInfo::Activity> ProcessInfo::activities() const {
    std::lock_guard lock(mutex_);
    std::vector<Activity> out;
    for (const auto& [key, token] : activities_) out.push_back(*token);
    return out;
}

ProcessInfo::ThermalState ProcessInfo::thermalState() const {
    std::lock_guard lock(mutex_);
    return thermal_;
}

void ProcessInfo::setThermalStateForTesting(ThermalState state) {
    {
        std::lock_guard lock(mutex_);
        if (thermal_ == state) return;
        thermal_ = state;
    }
    NotificationCenter::defaultCenter().post(kThermalStateDidChangeNotification, this);
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
