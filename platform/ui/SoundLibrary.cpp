#include "platform/ui/SoundLibrary.h"

#include <map>
#include <mutex>
#include <string>

#include "platform/foundation/Bundle.h"

namespace wv {

std::shared_ptr<SoundClip> SoundLibrary::named(std::string_view name) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<SoundClip>, std::less<>> clips;
    std::lock_guard lock(mutex);
    if (auto it = clips.find(name); it != clips.end()) return it->second;
    const auto path = Bundle::main().pathForResource("sounds/" + std::string(name), "wav");
    if (!path) return nullptr;
    auto clip = std::make_shared<SoundClip>(std::string(name), *path);
    clips.emplace(std::string(name), clip);
    return clip;
}

}  // namespace wv
