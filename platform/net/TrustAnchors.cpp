#include "platform/net/TrustAnchors.h"

#include "platform/net/NetModule.h"

namespace wv::net {

void TrustAnchors::setSystemAnchorsForTesting(std::optional<std::vector<Certificate>> anchors) {
    if (NetModule* module = NetModule::shared()) module->setSystemAnchors(std::move(anchors));
}

}  // namespace wv::net
