#pragma once

#include "platform/ui/AudioOutput.h"

namespace wv {

// The audio output over Qt Multimedia's audio sink on the default device. Built only into the
// bundle's audio module, so that the program maps Qt Multimedia at its first sound.
class QtAudioOutput final : public AudioOutput {
  public:
    std::unique_ptr<AudioVoice> makeVoice(int sampleRate, int channels) override;
};

}  // namespace wv
