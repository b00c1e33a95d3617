#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wv {

struct ErrorSound;

// The error sound of the line being typed: one of four sets of sounds, played in turn, one per
// typo, while the gate allows. Every sound is looked up once, when the object is made.
class Sound {
  public:
    // Starts one sound; an empty player is a sound that was not found and plays nothing.
    using Player = std::function<void()>;
    using Lookup = std::function<Player(const std::string& name)>;

    // The sounds of the application bundle.
    Sound();
    // Sounds from `lookup`, by the same names.
    explicit Sound(const Lookup& lookup);

    std::vector<std::vector<Player>> errors_collection;
    // The set that plays; always 0.
    int err_idx = 0;
    // Asked before every sound.
    std::function<bool()> isOn = [] { return true; };
    // The round-robin position in the set; never reset.
    int curr = 0;

    // Plays the next sound of the chosen set if the gate allows it.
    void play();

    // The names of the four sets, in order.
    static const std::vector<std::vector<std::string>>& soundNames();
    // The bundle's sound of that name; empty, with a line in the log, when it is missing.
    static Player bundleSound(const std::string& name);
};

// Makes `sound` the player of the line's error sound; the line's own gate (the learner's sound
// setting) is asked first.
void plugErrorSound(ErrorSound& target, std::shared_ptr<Sound> sound);

}  // namespace wv
