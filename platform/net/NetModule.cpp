#include "platform/net/NetModule.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Module.h"

namespace wv::net {

NetModule* NetModule::shared() {
    static NetModule* const module = []() -> NetModule* {
        std::string error;
        auto opened = Module::open("wovanu-net.so", error);
        auto* entry = opened ? opened->function<NetModule*()>("wovanu_net_module", error) : nullptr;
        NetModule* instance = entry ? entry() : nullptr;
        if (!instance) Log::print("networking is unavailable: " + error);
        return instance;
    }();
    return module;
}

}  // namespace wv::net
