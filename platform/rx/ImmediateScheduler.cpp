#include "platform/rx/ImmediateScheduler.h"

namespace wv::rx {

std::shared_ptr<ImmediateScheduler> ImmediateScheduler::instance() {
    static const auto shared = std::make_shared<ImmediateScheduler>();
    return shared;
}

void ImmediateScheduler::schedule(std::function<void()> work) {
    if (work) work();
}

}  // namespace wv::rx
