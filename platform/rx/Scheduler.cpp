#include "platform/rx/Scheduler.h"

namespace wv::rx {

Scheduler::~Scheduler() = default;

}  // namespace wv::rx
