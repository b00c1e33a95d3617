#include "platform/net/URLString.h"

#include "platform/net/NetModule.h"

namespace wv::net {

bool isValidURL(const std::string& text) {
    if (text.empty()) return false;
    NetModule* module = NetModule::shared();
    return module && module->isValidURL(text);
}

}  // namespace wv::net
