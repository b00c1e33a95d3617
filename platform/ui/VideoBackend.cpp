#include "platform/ui/VideoBackend.h"

#include <dlfcn.h>

#include <optional>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"

namespace wv {

namespace {
struct State {
    VideoBackend::Loader loader = &VideoBackend::loadModule;
    std::optional<std::unique_ptr<VideoBackend>> backend;  // empty until the first video
};

State& state() {
    static State s;
    return s;
}
}  // namespace

VideoBackend* VideoBackend::shared() {
    State& s = state();
    if (!s.backend) s.backend = s.loader ? s.loader() : nullptr;
    return s.backend->get();
}

bool VideoBackend::isLoaded() { return state().backend && *state().backend; }

void VideoBackend::setLoader(Loader loader) {
    state().loader = std::move(loader);
    state().backend.reset();
}

std::unique_ptr<VideoBackend> VideoBackend::loadModule() {
    const auto path = Bundle::main().pathForResource("PlugIns/video", "so");
    if (!path) {
        Log::print("no video module in the bundle");
        return nullptr;
    }
    // Never closed: streams made by the module may live until the process ends.
    void* module = dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        Log::print(std::string("dlopen failed: ") + dlerror());
        return nullptr;
    }
    auto make = reinterpret_cast<WVMakeVideoBackend>(dlsym(module, "wv_make_video_backend"));
    if (!make) {
        Log::print("dlsym failed: wv_make_video_backend");
        return nullptr;
    }
    return std::unique_ptr<VideoBackend>(make());
}

}  // namespace wv
