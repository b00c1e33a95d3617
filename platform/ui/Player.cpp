#include "platform/ui/Player.h"

#include <QMediaPlayer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <system_error>

#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/NotificationCenter.h"

namespace wv {

namespace {
// Codes of kErrorDomain.
constexpr int kNoSuchFile = 1;
constexpr int kBackendError = 2;
}  // namespace

Player::Player(std::filesystem::path file)
    : file_(std::move(file)),
      media_(std::make_unique<QMediaPlayer>()),
      sink_(std::make_unique<QVideoSink>()),
      self_(std::make_shared<Player*>(this)) {
    // Frames are decoded on the backend's threads; the media object lives on this one, so the
    // connection queues them to the main thread.
    QObject::connect(sink_.get(), &QVideoSink::videoFrameChanged, media_.get(),
                     [this](const QVideoFrame& frame) { frameArrived(frame); });
    QObject::connect(media_.get(), &QMediaPlayer::mediaStatusChanged, media_.get(),
                     [this](QMediaPlayer::MediaStatus status) {
                         if (status == QMediaPlayer::LoadedMedia && status_ == Status::Unknown)
                             status_ = Status::ReadyToPlay;
                         else if (status == QMediaPlayer::EndOfMedia)
                             reachedEnd();
                         else if (status == QMediaPlayer::InvalidMedia)
                             fail(kBackendError, "cannot play " + file_.string());
                     });
    QObject::connect(media_.get(), &QMediaPlayer::errorOccurred, media_.get(),
                     [this](QMediaPlayer::Error, const QString& text) {
                         fail(kBackendError, text.isEmpty() ? "cannot play " + file_.string()
                                                            : text.toStdString());
                     });
    media_->setVideoSink(sink_.get());
    // The backend says nothing about a missing file or a folder; neither may pass for a video
    // that merely has not started.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file_, ec)) {
        fail(kNoSuchFile, "no video file " + file_.string());
        return;
    }
    media_->setSource(QUrl::fromLocalFile(QString::fromStdString(file_.string())));
}

Player::~Player() {
    self_.reset();
    // Quiet the backend before the sink it writes to goes away.
    QObject::disconnect(sink_.get(), nullptr, media_.get(), nullptr);
    QObject::disconnect(media_.get(), nullptr, media_.get(), nullptr);
    media_->stop();
    media_->setVideoSink(nullptr);
    media_.reset();
}

void Player::play() {
    if (status_ == Status::Failed) return;
    if (atEnd_ || media_->playbackState() == QMediaPlayer::StoppedState) framesSinceStart_ = 0;
    if (atEnd_) {
        // Played again from its end, the backend can still hold the ended stream and end
        // once more at once; a full stop makes it open the file afresh at the asked position.
        const qint64 position = media_->position() >= media_->duration() ? 0 : media_->position();
        media_->stop();
        media_->setPosition(position);
    }
    atEnd_ = false;
    media_->play();
}

void Player::pause() {
    if (status_ != Status::Failed) media_->pause();
}

bool Player::isPlaying() const { return media_->playbackState() == QMediaPlayer::PlayingState; }

void Player::seek(double seconds) {
    if (status_ != Status::Failed) media_->setPosition(qint64(seconds * 1000.0));
}

double Player::currentTime() const { return double(media_->position()) / 1000.0; }

double Player::duration() const { return double(media_->duration()) / 1000.0; }

void Player::frameArrived(const QVideoFrame& frame) {
    // The backend hands over an empty frame when it stops; the picture stays on the last one.
    if (!frame.isValid()) return;
    QImage image = frame.toImage();
    if (image.isNull()) return;
    image_ = std::move(image);
    ++frames_;
    ++framesSinceStart_;
    if (status_ == Status::Unknown) status_ = Status::ReadyToPlay;
    if (frameObserver_) frameObserver_();
}

void Player::reachedEnd() {
    if (status_ == Status::Failed || atEnd_) return;
    atEnd_ = true;
    std::weak_ptr<Player*> alive = self_;
    MainQueue::shared().async([alive] {
        const auto self = alive.lock();
        if (!self) return;
        Player* player = *self;
        NotificationCenter::defaultCenter().post(
            std::string(kPlayerItemDidPlayToEndTimeNotification), player,
            {{"frames", int(player->framesSinceStart_)}});
    });
}

void Player::fail(int code, const std::string& description) {
    if (status_ == Status::Failed) return;
    status_ = Status::Failed;
    error_ = Error{kErrorDomain, code, {{Error::kLocalizedDescriptionKey, description}}};
    media_->stop();
    std::weak_ptr<Player*> alive = self_;
    MainQueue::shared().async([alive] {
        const auto self = alive.lock();
        if (!self) return;
        Player* player = *self;
        NotificationCenter::defaultCenter().post(
            std::string(kPlayerItemFailedToPlayToEndTimeNotification), player,
            {{"error", *player->error_}});
    });
}

}  // namespace wv
