#include "app/Sound.h"

#include "engine/ErrorSound.h"
#include "platform/foundation/Log.h"
#include "platform/ui/SoundLibrary.h"

namespace wv {

const std::vector<std::vector<std::string>>& Sound::soundNames() {
    static const std::vector<std::vector<std::string>> names = [] {
        std::vector<std::vector<std::string>> sets;
        sets.push_back(std::vector<std::string>(4, "sound_beta_2"));
        for (const char* family : {"child", "mar", "pluc"}) {
            std::vector<std::string> set;
            for (int i = 1; i <= 5; ++i)
                set.push_back(std::string("sound_") + family + "_" + std::to_string(i));
            sets.push_back(std::move(set));
        }
        return sets;
    }();
    return names;
}

Sound::Player Sound::bundleSound(const std::string& name) {
    // Found now, read at its first typo (see SoundClip).
    auto clip = SoundLibrary::named(name);
    if (!clip) {
        Log::print("Sound: missing sound resource " + name);
        return {};
    }
    return [clip] { clip->play(); };
}

Sound::Sound() : Sound(Lookup(&Sound::bundleSound)) {}

Sound::Sound(const Lookup& lookup) {
    for (const auto& names : soundNames()) {
        std::vector<Player> set;
        for (const std::string& name : names) set.push_back(lookup(name));
        errors_collection.push_back(std::move(set));
    }
}

void Sound::play() {
    if (isOn && !isOn()) return;
    const int n = err_idx == 0 ? 4 : 5;
    curr = curr % n;
    if (size_t(err_idx) < errors_collection.size() &&
        size_t(curr) < errors_collection[size_t(err_idx)].size()) {
        const Player& player = errors_collection[size_t(err_idx)][size_t(curr)];
        if (player) player();
    }
    curr = curr + 1;
}

void plugErrorSound(ErrorSound& target, std::shared_ptr<Sound> sound) {
    target.player = [sound] { sound->play(); };
}

}  // namespace wv
