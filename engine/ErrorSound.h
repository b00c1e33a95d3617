#pragma once

#include <functional>

namespace wv {

// The sound of a typo as the line being typed sees it. The hub gates it with the learner's
// sound setting; the application plugs in the player that makes the noise. Either may be set
// first, and the gate is asked at every typo, so a settings change counts from the next one.
struct ErrorSound {
    std::function<bool()> isOn = [] { return true; };
    std::function<void()> player;

    void play() const {
        if (isOn && !isOn()) return;
        if (player) player();
    }
};

}  // namespace wv
