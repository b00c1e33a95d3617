#pragma once

#include <QByteArray>
#include <functional>
#include <memory>

namespace wv {

// One stream of 16-bit PCM to the default audio device; starting it again while it plays
// starts it over.
class AudioVoice {
  public:
    virtual ~AudioVoice() = default;
    // False when the device refused the sound.
    virtual bool start(const QByteArray& samples) = 0;
};

// The sound card. The back end that drives it (Qt Multimedia and the sound server's client
// library, several megabytes of code that opens a connection of its own) lives in a module
// of the bundle ("PlugIns/audio.so") that is loaded when the first sound plays, not at
// start-up: most runs of the program play no sound for a long time, or none at all.
// Main thread only.
class AudioOutput {
  public:
    using Loader = std::function<std::unique_ptr<AudioOutput>()>;

    virtual ~AudioOutput() = default;
    // nullptr when no device plays this format.
    virtual std::unique_ptr<AudioVoice> makeVoice(int sampleRate, int channels) = 0;

    // The output, loaded on the first call; nullptr when the back end cannot be loaded (that
    // is tried once and reported once).
    static AudioOutput* shared();
    // Whether shared() has loaded the output.
    static bool isLoaded();
    // Replaces what shared() loads, and forgets what was loaded (tests: a recording output).
    static void setLoader(Loader loader);
    // Loads the bundle's module; what the default loader does.
    static std::unique_ptr<AudioOutput> loadModule();
};

}  // namespace wv

// What the module exports: a new output, owned by the caller.
extern "C" {
using WVMakeAudioOutput = wv::AudioOutput* (*)();
}
