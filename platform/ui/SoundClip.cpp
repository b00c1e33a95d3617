#include "platform/ui/SoundClip.h"

#include <QCoreApplication>
#include <QFile>
#include <cstring>

#include "platform/foundation/Log.h"

namespace wv {

namespace {
std::uint32_t le32(const char* p) {
    return std::uint32_t(std::uint8_t(p[0])) | std::uint32_t(std::uint8_t(p[1])) << 8 |
           std::uint32_t(std::uint8_t(p[2])) << 16 | std::uint32_t(std::uint8_t(p[3])) << 24;
}
std::uint16_t le16(const char* p) {
    return std::uint16_t(std::uint8_t(p[0]) | std::uint8_t(p[1]) << 8);
}
}  // namespace

SoundClip::SoundClip(std::string name, std::filesystem::path file)
    : name_(std::move(name)), file_(std::move(file)) {}

void SoundClip::load() const {
    if (read_) return;
    read_ = true;
    if (!readWave()) {
        samples_.clear();
        Log::print("cannot read sound " + file_.string());
    }
}

bool SoundClip::isLoaded() const {
    load();
    return !samples_.isEmpty();
}

SoundClip::~SoundClip() = default;

// Reads 16-bit PCM from a RIFF WAVE file, chunk by chunk; anything else is refused.
bool SoundClip::readWave() const {
    QFile in(QString::fromStdString(file_.string()));
    if (!in.open(QIODevice::ReadOnly)) return false;
    const QByteArray data = in.readAll();
    if (data.size() < 12 || std::memcmp(data.constData(), "RIFF", 4) != 0 ||
        std::memcmp(data.constData() + 8, "WAVE", 4) != 0)
        return false;
    qsizetype at = 12;
    bool formatOk = false;
    while (at + 8 <= data.size()) {
        const char* chunk = data.constData() + at;
        const qsizetype size = qsizetype(le32(chunk + 4));
        if (size < 0 || size > data.size() - at - 8) return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            const auto format = le16(chunk + 8);
            channels_ = le16(chunk + 10);
            rate_ = int(le32(chunk + 12));
            formatOk = format == 1 && le16(chunk + 22) == 16 && channels_ > 0 && rate_ > 0;
        } else if (std::memcmp(chunk, "data", 4) == 0 && formatOk) {
            samples_ = data.mid(at + 8, size);
            return !samples_.isEmpty();
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

double SoundClip::duration() const {
    load();
    return rate_ > 0 && channels_ > 0 ? double(samples_.size()) / (2.0 * channels_ * rate_) : 0.0;
}

bool SoundClip::play() {
    if (!isLoaded() || !QCoreApplication::instance()) return false;
    if (!voice_) {
        AudioOutput* output = AudioOutput::shared();
        if (!output) return false;
        voice_ = output->makeVoice(rate_, channels_);
        if (!voice_) return false;
    }
    if (!voice_->start(samples_)) return false;
    ++plays_;
    return true;
}

}  // namespace wv
