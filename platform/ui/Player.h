#pragma once

#include <QImage>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/ui/VideoBackend.h"

namespace wv {

// Posted through NotificationCenter::defaultCenter() with the player as sender when playback
// reaches the end of the file. It is posted on a later turn of the main queue, never from
// inside the media backend's own signal: a restart from inside that signal ends again at
// once without showing a frame. The user information holds "frames" (int), the frames shown
// since the last play(), so an observer can refuse to restart a file that shows nothing.
inline constexpr std::string_view kPlayerItemDidPlayToEndTimeNotification =
    "AVPlayerItemDidPlayToEndTimeNotification";
// Posted the same way once the file turns out unplayable; the user information holds
// "error" (wv::Error). No end notice follows a failure.
inline constexpr std::string_view kPlayerItemFailedToPlayToEndTimeNotification =
    "AVPlayerItemFailedToPlayToEndTimeNotification";

// Plays one video file without sound and keeps its latest decoded frame as a picture, so
// that whoever draws it (PlayerView) paints it like any other content. At the end of the
// file it stops on the last frame. Lives and is used on the main thread only; frames decoded
// on the back end's threads reach it through the Qt event loop. The first player of an
// existing file loads the video back end (VideoBackend::shared()).
class Player {
  public:
    enum class Status { Unknown, ReadyToPlay, Failed };

    explicit Player(std::filesystem::path file);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    const std::filesystem::path& file() const { return file_; }
    Status status() const { return status_; }
    // Why the file cannot be played; set together with Status::Failed.
    const std::optional<Error>& error() const { return error_; }

    // Starts or resumes playback; does nothing once the player has failed.
    void play();
    void pause();
    bool isPlaying() const;
    // Moves to `seconds` from the start; the next frame shown is the one there.
    void seek(double seconds);
    double currentTime() const;  // seconds
    double duration() const;     // seconds; 0 while unknown

    // The latest frame (null before the first one) and how many frames arrived in all and
    // since the last play() that started from a stop or an end.
    const QImage& currentImage() const { return image_; }
    long framesShown() const { return frames_; }
    long framesSinceStart() const { return framesSinceStart_; }
    // Called on the main thread after every new frame (one observer: the view showing it).
    void setFrameObserver(std::function<void()> observer) { frameObserver_ = std::move(observer); }

    static constexpr const char* kErrorDomain = "WVPlayerErrorDomain";

  private:
    void openStream(VideoBackend& backend);
    void frameArrived(QImage image);
    void reachedEnd();
    void fail(int code, const std::string& description);

    std::filesystem::path file_;
    std::unique_ptr<VideoStream> stream_;  // none once failed before opening
    Status status_ = Status::Unknown;
    std::optional<Error> error_;
    QImage image_;
    long frames_ = 0;
    long framesSinceStart_ = 0;
    bool atEnd_ = false;
    std::function<void()> frameObserver_;
    // Blocks posted to the main queue hold this weakly, so none reaches a destroyed player.
    std::shared_ptr<Player*> self_;
};

}  // namespace wv
