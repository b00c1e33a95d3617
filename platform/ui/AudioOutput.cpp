#include "platform/ui/AudioOutput.h"

#include <dlfcn.h>

#include <optional>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"

namespace wv {

namespace {
struct State {
    AudioOutput::Loader loader = &AudioOutput::loadModule;
    std::optional<std::unique_ptr<AudioOutput>> output;  // empty until the first sound
};

State& state() {
    static State s;
    return s;
}
}  // namespace

AudioOutput* AudioOutput::shared() {
    State& s = state();
    if (!s.output) s.output = s.loader ? s.loader() : nullptr;
    return s.output->get();
}

bool AudioOutput::isLoaded() { return state().output && *state().output; }

void AudioOutput::setLoader(Loader loader) {
    state().loader = std::move(loader);
    state().output.reset();
}

std::unique_ptr<AudioOutput> AudioOutput::loadModule() {
    const auto path = Bundle::main().pathForResource("PlugIns/audio", "so");
    if (!path) {
        Log::print("no audio module in the bundle");
        return nullptr;
    }
    // Never closed: the output's code must stay mapped as long as the output lives, which is
    // the life of the process.
    void* module = dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        Log::print(std::string("dlopen failed: ") + dlerror());
        return nullptr;
    }
    auto make = reinterpret_cast<WVMakeAudioOutput>(dlsym(module, "wv_make_audio_output"));
    if (!make) {
        Log::print("dlsym failed: wv_make_audio_output");
        return nullptr;
    }
    return std::unique_ptr<AudioOutput>(make());
}

}  // namespace wv
