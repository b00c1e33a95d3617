#pragma once

#include "platform/ui/VideoBackend.h"

namespace wv {

// Videos through Qt Multimedia's media player with a video sink, on whichever media back end
// the process chose before its application object was made (the program and the tests choose
// FFmpeg). Built only into the bundle's video module.
class QtVideoBackend final : public VideoBackend {
  public:
    std::unique_ptr<VideoStream> open(const std::filesystem::path& file,
                                      VideoStream::Events events) override;
};

}  // namespace wv
