#include "sdk/analytics/PLRActivity.h"

#include "sdk/analytics/PLRApplication.h"

namespace wv {

std::shared_ptr<PLRActivity> PLRActivity::beginActivity(const std::string& name, uint64_t options,
                                                        std::function<void()> expirationHandler) {
    auto activity =
        std::make_shared<PLRActivity>(beginActivityIfAvailable(name, options), options, name, 0);
    if (options & (kSuddenTerminationDisabled | kAutomaticTerminationDisabled)) {
        activity->backgroundTaskIdentifier_ =
            activity->beginBackgroundTaskWithName(name, expirationHandler);
    }
    return activity;
}

std::shared_ptr<PLRActivity> PLRActivity::beginActivity(const std::string& name, uint64_t options) {
    return beginActivity(name, options, [] {});
}

void PLRActivity::performActivity(const std::string& name, uint64_t options,
                                  const std::function<void()>& block) {
    auto activity = beginActivity(name, options);
    if (block) block();
    activity->end();
}

ProcessInfo::ActivityToken PLRActivity::beginActivityIfAvailable(const std::string& name,
                                                                 uint64_t options) {
    auto& process = ProcessInfo::shared();
    if (options & kSuddenTerminationDisabled) process.disableSuddenTermination();
    if (options & kAutomaticTerminationDisabled) process.disableAutomaticTermination(name);
    return process.beginActivity(options, name);
}

PLRActivity::PLRActivity(ProcessInfo::ActivityToken processInfoToken, uint64_t options,
                         std::string reason, uint64_t backgroundTaskIdentifier)
    : processInfoToken_(std::move(processInfoToken)),
      options_(options),
      reason_(std::move(reason)),
      backgroundTaskIdentifier_(backgroundTaskIdentifier) {}

PLRActivity::~PLRActivity() { end(); }

bool PLRActivity::isActive() const {
    std::lock_guard lock(mutex_);
    return processInfoToken_ != nullptr;
}

uint64_t PLRActivity::beginBackgroundTaskWithName(const std::string&,
                                                  const std::function<void()>&) {
    return 0;
}

void PLRActivity::end() {
    endAndInvalidateBackgroundTask();
    endAndInvalidateInternalActivity();
}

// Every step needs the token and the token goes at the end, so the declarations are undone
// exactly once however often this runs.
void PLRActivity::endAndInvalidateInternalActivity() {
    ProcessInfo::ActivityToken token;
    {
        std::lock_guard lock(mutex_);
        token = std::move(processInfoToken_);
        processInfoToken_.reset();
    }
    if (!token) return;
    auto& process = ProcessInfo::shared();
    if (options_ & kSuddenTerminationDisabled) process.enableSuddenTermination();
    if (options_ & kAutomaticTerminationDisabled) process.enableAutomaticTermination(reason_);
    process.endActivity(token);
}

std::any PLRActivity::sharedAppInstance() {
    return PLRApplication::hostApplication().appSharedInstance();
}

}  // namespace wv
