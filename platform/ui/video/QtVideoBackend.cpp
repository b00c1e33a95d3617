#include "platform/ui/video/QtVideoBackend.h"

#include <QMediaPlayer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

namespace wv {

namespace {
class QtVideoStream final : public VideoStream {
  public:
    QtVideoStream(const std::filesystem::path& file, Events events)
        : events_(std::move(events)),
          media_(std::make_unique<QMediaPlayer>()),
          sink_(std::make_unique<QVideoSink>()) {
        // Frames are decoded on the backend's threads; the media object lives on this one, so
        // the connection queues them to the main thread.
        QObject::connect(sink_.get(), &QVideoSink::videoFrameChanged, media_.get(),
                         [this](const QVideoFrame& frame) {
                             // An empty frame comes when playback stops; it is no picture.
                             if (!frame.isValid()) return;
                             QImage image = frame.toImage();
                             if (!image.isNull() && events_.frame) events_.frame(std::move(image));
                         });
        const std::string name = file.string();
        QObject::connect(media_.get(), &QMediaPlayer::mediaStatusChanged, media_.get(),
                         [this, name](QMediaPlayer::MediaStatus status) {
                             if (status == QMediaPlayer::LoadedMedia) {
                                 // A still picture under a video's name decodes too, as one
                                 // frame without a running time, and would loop for ever.
                                 if (media_->duration() <= 0 || !media_->hasVideo()) {
                                     if (events_.failed)
                                         events_.failed("not a video (no running time): " + name);
                                 } else if (events_.loaded) {
                                     events_.loaded();
                                 }
                             }
                             if (status == QMediaPlayer::EndOfMedia && events_.ended)
                                 events_.ended();
                             else if (status == QMediaPlayer::InvalidMedia && events_.failed)
                                 events_.failed("cannot play " + name);
                         });
        QObject::connect(media_.get(), &QMediaPlayer::errorOccurred, media_.get(),
                         [this, name](QMediaPlayer::Error, const QString& text) {
                             if (events_.failed)
                                 events_.failed(text.isEmpty() ? "cannot play " + name
                                                               : text.toStdString() + ": " + name);
                         });
        media_->setVideoSink(sink_.get());
        media_->setSource(QUrl::fromLocalFile(QString::fromStdString(name)));
    }

    ~QtVideoStream() override {
        // Quiet the backend before the sink it writes to goes away.
        QObject::disconnect(sink_.get(), nullptr, media_.get(), nullptr);
        QObject::disconnect(media_.get(), nullptr, media_.get(), nullptr);
        media_->stop();
        media_->setVideoSink(nullptr);
        media_.reset();
    }

    void play() override { media_->play(); }
    void pause() override { media_->pause(); }
    void stop() override { media_->stop(); }
    void setPosition(int64_t milliseconds) override { media_->setPosition(milliseconds); }
    int64_t position() const override { return media_->position(); }
    int64_t duration() const override { return media_->duration(); }
    bool isPlaying() const override {
        return media_->playbackState() == QMediaPlayer::PlayingState;
    }
    bool isStopped() const override {
        return media_->playbackState() == QMediaPlayer::StoppedState;
    }

  private:
    Events events_;
    std::unique_ptr<QMediaPlayer> media_;
    std::unique_ptr<QVideoSink> sink_;
};
}  // namespace

std::unique_ptr<VideoStream> QtVideoBackend::open(const std::filesystem::path& file,
                                                  VideoStream::Events events) {
    return std::make_unique<QtVideoStream>(file, std::move(events));
}

}  // namespace wv

extern "C" __attribute__((visibility("default"))) wv::VideoBackend* wv_make_video_backend() {
    return new wv::QtVideoBackend;
}
