#include "platform/ui/video/QtVideoBackend.h"

#include <dlfcn.h>
#include <malloc.h>

#include <QCoreApplication>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

namespace wv {

namespace {

// FFmpeg decodes on as many threads as the machine has cores, plus one, each with pictures of
// its own: some 14 MB on eight cores for a help video of 880 x 496 that one core decodes in a
// millisecond or two a frame. Its core count can be set; the library is FFmpeg's own
// utility library, which the media back end has loaded by the time its player exists.
void decodeOnOneThread() {
    for (const char* name : {"libavutil.so.57", "libavutil.so.58", "libavutil.so.59"}) {
        void* library = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
        if (!library) continue;
        using ForceCount = void (*)(int);
        if (auto force = reinterpret_cast<ForceCount>(dlsym(library, "av_cpu_force_count")))
            force(1);
        dlclose(library);  // only the reference NOLOAD took
        return;
    }
}

class QtVideoStream final : public VideoStream {
  public:
    QtVideoStream(const std::filesystem::path& file, Events events)
        : events_(std::move(events)),
          media_(std::make_unique<QMediaPlayer>()),
          sink_(std::make_unique<QVideoSink>()) {
        decodeOnOneThread();
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
        // The decoder's threads have ended; the pictures they decoded into stay with the
        // allocator's per-thread pools, most of ten megabytes, unless given back now (the help
        // closed, or its page turned).
        malloc_trim(0);
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
    // A decoded frame becomes a picture through Qt's frame converter, which would bring up an
    // OpenGL context of its own for the colour conversion unless widgets are raster only. On
    // most machines that is Mesa's software rasteriser: LLVM and a thread per core, some
    // 150 MB resident, to turn 880 x 496 YUV into RGB thirty times a second. The converter's
    // own processor path does the same conversion. Every window of the program is raster
    // anyway; nothing in it draws with OpenGL.
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    return new wv::QtVideoBackend;
}
