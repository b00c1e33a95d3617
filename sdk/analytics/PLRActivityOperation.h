#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/dispatch/Operation.h"
#include "sdk/analytics/PLRActivity.h"

namespace wv {

// Holds an activity from its creation until it runs: made a dependent of a job's operations,
// it keeps the process's declaration for the whole job. One that never runs (cancelled, or
// its queue gone) ends the activity when it is destroyed.
class PLRActivityOperation : public Operation {
  public:
    static std::shared_ptr<PLRActivityOperation> operationByStartingActivityName(
        const std::string& name, uint64_t options);

    const std::shared_ptr<PLRActivity>& activity() const { return activity_; }
    void main() override;

  private:
    void startActivityWithName(const std::string& name, uint64_t options);
    std::shared_ptr<PLRActivity> activity_;
};

}  // namespace wv
