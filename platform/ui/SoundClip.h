#pragma once

#include <QByteArray>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/ui/AudioOutput.h"

namespace wv {

// A short sound from the bundle: a PCM WAV file read once, when it is first needed (most runs
// play few of the sounds, or none), played through the default audio output (see AudioOutput)
// as often as asked; starting it again while it plays starts it over. Main thread only.
class SoundClip {
  public:
    SoundClip(std::string name, std::filesystem::path file);
    ~SoundClip();
    SoundClip(const SoundClip&) = delete;
    SoundClip& operator=(const SoundClip&) = delete;

    const std::string& name() const { return name_; }
    const std::filesystem::path& file() const { return file_; }
    // Reads the file if that was not tried yet; false when it is no 16-bit PCM WAV file.
    bool isLoaded() const;
    double duration() const;  // seconds
    // Starts the sound; false when it cannot be played (not loaded, no audio output).
    bool play();
    int playCount() const { return plays_; }

  private:
    bool readWave() const;
    void load() const;

    std::string name_;
    std::filesystem::path file_;
    mutable bool read_ = false;
    mutable QByteArray samples_;
    mutable int rate_ = 0;
    mutable int channels_ = 0;
    std::unique_ptr<AudioVoice> voice_;  // made at the first play
    int plays_ = 0;
};

}  // namespace wv
