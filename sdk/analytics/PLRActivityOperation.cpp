#include "sdk/analytics/PLRActivityOperation.h"

namespace wv {

std::shared_ptr<PLRActivityOperation> PLRActivityOperation::operationByStartingActivityName(
    const std::string& name, uint64_t options) {
    auto operation = std::make_shared<PLRActivityOperation>();
    operation->startActivityWithName(name, options);
    return operation;
}

void PLRActivityOperation::startActivityWithName(const std::string& name, uint64_t options) {
    activity_ = PLRActivity::beginActivity(name, options);
}

void PLRActivityOperation::main() {
    if (activity_) activity_->end();
}

}  // namespace wv
