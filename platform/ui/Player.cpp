#include "platform/ui/Player.h"

#include <system_error>

#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/NotificationCenter.h"

namespace wv {

namespace {
// Codes of kErrorDomain.
constexpr int kNoSuchFile = 1;
constexpr int kBackendError = 2;
constexpr int kNoBackend = 3;
}  // namespace

Player::Player(std::filesystem::path file)
    : file_(std::move(file)), self_(std::make_shared<Player*>(this)) {
    // The back end says nothing about a missing file or a folder; neither may pass for a video
    // that merely has not started. Neither loads the back end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file_, ec)) {
        fail(kNoSuchFile, "no video file " + file_.string());
        return;
    }
    VideoBackend* backend = VideoBackend::shared();
    if (!backend) {
        fail(kNoBackend, "no video back end for " + file_.string());
        return;
    }
    openStream(*backend);
}

void Player::openStream(VideoBackend& backend) {
    VideoStream::Events events;
    events.frame = [this](QImage image) { frameArrived(std::move(image)); };
    events.loaded = [this] {
        if (status_ == Status::Unknown) status_ = Status::ReadyToPlay;
    };
    events.ended = [this] { reachedEnd(); };
    events.failed = [this](const std::string& text) { fail(kBackendError, text); };
    stream_.reset();
    stream_ = backend.open(file_, std::move(events));
}

Player::~Player() {
    self_.reset();
    stream_.reset();
}

void Player::play() {
    if (status_ == Status::Failed || !stream_) return;
    if (atEnd_ || stream_->isStopped()) framesSinceStart_ = 0;
    if (atEnd_) {
        // Played again from its end, the backend's ended stream (stopped, sought, or not) can
        // end once more at once without a frame, more often the busier the machine is. A new
        // stream of the same file starts cleanly; opening it costs little beside decoding.
        const int64_t position =
            stream_->position() >= stream_->duration() ? 0 : stream_->position();
        if (VideoBackend* backend = VideoBackend::shared()) openStream(*backend);
        if (position > 0) stream_->setPosition(position);
    }
    atEnd_ = false;
    stream_->play();
}

void Player::pause() {
    if (status_ != Status::Failed && stream_) stream_->pause();
}

bool Player::isPlaying() const { return stream_ && stream_->isPlaying(); }

void Player::seek(double seconds) {
    if (status_ != Status::Failed && stream_) stream_->setPosition(int64_t(seconds * 1000.0));
}

double Player::currentTime() const { return stream_ ? double(stream_->position()) / 1000.0 : 0; }

double Player::duration() const { return stream_ ? double(stream_->duration()) / 1000.0 : 0; }

void Player::frameArrived(QImage image) {
    if (status_ == Status::Failed) return;
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
    if (stream_) stream_->stop();
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
