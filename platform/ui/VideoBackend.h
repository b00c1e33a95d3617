#pragma once

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace wv {

// One video file opened in the media back end. The back end decodes on threads of its own;
// every event below reaches the main thread through the Qt event loop, never from inside a
// decoder thread. Destroying the stream stops it and silences its events.
class VideoStream {
  public:
    struct Events {
        std::function<void(QImage)> frame;               // a decoded picture
        std::function<void()> loaded;                    // the file is understood
        std::function<void()> ended;                     // playback reached the end
        std::function<void(const std::string&)> failed;  // the file cannot be played
    };

    virtual ~VideoStream() = default;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual void setPosition(int64_t milliseconds) = 0;
    virtual int64_t position() const = 0;  // milliseconds
    virtual int64_t duration() const = 0;  // milliseconds; 0 while unknown
    virtual bool isPlaying() const = 0;
    virtual bool isStopped() const = 0;
};

// The video decoder. Like the audio back end (see AudioOutput) it lives in a module of the
// bundle ("PlugIns/video.so"), loaded when the first video is opened: Qt Multimedia and the
// FFmpeg libraries behind it stay out of the program until the help plays something.
// Main thread only.
class VideoBackend {
  public:
    using Loader = std::function<std::unique_ptr<VideoBackend>()>;

    virtual ~VideoBackend() = default;
    virtual std::unique_ptr<VideoStream> open(const std::filesystem::path& file,
                                              VideoStream::Events events) = 0;

    // The back end, loaded on the first call; nullptr when it cannot be loaded (that is tried
    // once and reported once).
    static VideoBackend* shared();
    // Whether shared() has loaded the back end.
    static bool isLoaded();
    // Replaces what shared() loads, and forgets what was loaded (tests: a scripted back end).
    static void setLoader(Loader loader);
    // Loads the bundle's module; what the default loader does.
    static std::unique_ptr<VideoBackend> loadModule();
};

}  // namespace wv

// What the module exports: a new back end, owned by the caller.
extern "C" {
using WVMakeVideoBackend = wv::VideoBackend* (*)();
}
