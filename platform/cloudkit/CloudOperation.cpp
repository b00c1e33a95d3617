#include "platform/cloudkit/CloudOperation.h"

#include "platform/cloudkit/ContainerCore.h"

namespace wv::ck {

void CloudOperation::bind(std::weak_ptr<ContainerCore> core, Scope scope) {
    core_ = std::move(core);
    scope_ = scope;
}

void CloudOperation::main() {
    auto core = core_.lock();
    if (!core) {
        finish();
        return;
    }
    auto self = std::static_pointer_cast<CloudOperation>(shared_from_this());
    std::weak_ptr<ContainerCore> weak = core_;
    core->perform([self, weak](const ServerAccess& access) {
        std::function<void()> callbacks = self->perform(access);
        auto core = weak.lock();
        if (!core) {
            self->finish();
            return;
        }
        core->deliver([self, callbacks = std::move(callbacks)] {
            if (callbacks) callbacks();
            self->finish();
        });
    });
}

}  // namespace wv::ck
