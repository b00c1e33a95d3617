#pragma once

#include <mutex>
#include <string>
#include <string_view>

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

    int suddenTerminationDisabledCount() const;
    int automaticTerminationDisabledCount() const;
    bool suddenTerminationAllowed() const { return suddenTerminationDisabledCount() == 0; }
    bool automaticTerminationAllowed() const { return automaticTerminationDisabledCount() == 0; }

  private:
    mutable std::mutex mutex_;
    int sudden_ = 0;
    int automatic_ = 0;
};

}  // namespace wv
