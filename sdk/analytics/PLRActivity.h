#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/ProcessInfo.h"

namespace wv {

// Tells the process that a piece of work is under way (so that whoever ends the program can
// see that it is still needed) and takes that back when the work ends. Ending is idempotent:
// the first end() undoes every declaration, later ones (the destructor's included) do nothing.
// Safe from any thread.
class PLRActivity {
  public:
    static constexpr uint64_t kSuddenTerminationDisabled = 0x4000;
    static constexpr uint64_t kAutomaticTerminationDisabled = 0x8000;
    static constexpr uint64_t kBackground = 0xFF;

    static std::shared_ptr<PLRActivity> beginActivity(const std::string& name, uint64_t options,
                                                      std::function<void()> expirationHandler);
    static std::shared_ptr<PLRActivity> beginActivity(const std::string& name, uint64_t options);
    static void performActivity(const std::string& name, uint64_t options,
                                const std::function<void()>& block);
    static ProcessInfo::ActivityToken beginActivityIfAvailable(const std::string& name,
                                                               uint64_t options);

    PLRActivity(ProcessInfo::ActivityToken processInfoToken, uint64_t options, std::string reason,
                uint64_t backgroundTaskIdentifier);
    ~PLRActivity();
    PLRActivity(const PLRActivity&) = delete;
    PLRActivity& operator=(const PLRActivity&) = delete;

    uint64_t options() const { return options_; }
    const std::string& reason() const { return reason_; }
    uint64_t backgroundTaskIdentifier() const { return backgroundTaskIdentifier_; }
    bool isActive() const;

    // There are no background tasks on Linux: always 0.
    static bool supportsBackgroundTasks() { return false; }
    uint64_t beginBackgroundTaskWithName(const std::string& name,
                                         const std::function<void()>& expirationHandler);
    void end();
    static std::any sharedAppInstance();

  private:
    void endAndInvalidateBackgroundTask() {}
    void endAndInvalidateInternalActivity();

    mutable std::mutex mutex_;
    ProcessInfo::ActivityToken processInfoToken_;
    uint64_t options_;
    std::string reason_;
    uint64_t backgroundTaskIdentifier_;
};

}  // namespace wv
