#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace wv {

// What the process asks of the session around it. Linux has no session manager that ends idle
// programs, so the two kinds of termination are plain counters: a non-zero count means some
// piece of work still needs the process, and whoever ends the program can ask. Safe from any
// thread.
class ProcessInfo {
  public:
    static ProcessInfo& shared();

    void disableSuddenTermination();
    void enableSuddenTermination();
    // The reason travels for the log only; the counter is what matters.
    void disableAutomaticTermination(std::string_view reason);
    void enableAutomaticTermination(std::string_view reason);

    // A declared piece of work, alive from beginActivity until endActivity with its token.
    // The token is the only handle: ending the same token twice ends the activity once.
    struct Activity {
        uint64_t options = 0;
        std::string reason;
    };
    using ActivityToken = std::shared_ptr<const Activity>;
    static constexpr uint64_t kActivitySuddenTerminationDisabled = 0x4000;
    static constexpr uint64_t kActivityAutomaticTerminationDisabled = 0x8000;
    static constexpr uint64_t kActivityBackground = 0xFF;
    ActivityToken beginActivity(uint64_t options, std::string reason);
    void endActivity(const ActivityToken& token);
    std::vector<Activity> activities() const;

    // How hot the machine runs. Linux offers no such reading to a desktop program, so the
    // state stays nominal unless a test sets it; a change is posted as
    // kThermalStateDidChangeNotification with this object as sender, on the setting thread.
    enum class ThermalState { Nominal = 0, Fair = 1, Serious = 2, Critical = 3 };
    static constexpr const char* kThermalStateDidChangeNotification =
        "NSProcessInfoThermalStateDidChangeNotification";
    ThermalState thermalState() const;
    void setThermalStateForTesting(ThermalState state);

    int suddenTerminationDisabledCount() const;
    int automaticTerminationDisabledCount() const;
    bool suddenTerminationAllowed() const { return suddenTerminationDisabledCount() == 0; }
    bool automaticTerminationAllowed() const { return automaticTerminationDisabledCount() == 0; }
    // Blocks the caller until no piece of work holds off sudden termination, or `timeout` has
    // passed. True when nothing holds it off any more. For whoever ends the program: work that
    // asked to finish first gets a bounded chance to.
    bool waitUntilSuddenTerminationAllowed(std::chrono::milliseconds timeout) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable suddenAllowed_;
    int sudden_ = 0;
    int automatic_ = 0;
    std::map<const Activity*, ActivityToken> activities_;
    ThermalState thermal_ = ThermalState::Nominal;
};

}  // namespace wv
