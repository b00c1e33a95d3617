#pragma once

#include <QByteArray>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/ui/AudioOutput.h"

namespace wv {

// A short sound from the bundle: a PCM WAV file read once, played through the default audio
// output (see AudioOutput) as often as asked; starting it again while it plays starts it over.
class SoundClip {
  public:
    SoundClip(std::string name, std::filesystem::path file);
    ~SoundClip();
    SoundClip(const SoundClip&) = delete;
    SoundClip& operator=(const SoundClip&) = delete;

    const std::string& name() const { return name_; }
    const std::filesystem::path& file() const { return file_; }
    bool isLoaded() const { return !samples_.isEmpty(); }
    double duration() const;  // seconds
    // Starts the sound; false when it cannot be played (not loaded, no audio output).
    bool play();
    int playCount() const { return plays_; }

  private:
    bool readWave();

    std::string name_;
    std::filesystem::path file_;
    QByteArray samples_;
    int rate_ = 0;
    int channels_ = 0;
    std::unique_ptr<AudioVoice> voice_;  // made at the first play
    int plays_ = 0;
};

}  // namespace wv
