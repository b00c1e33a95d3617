#include "platform/ui/audio/QtAudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QPointer>

namespace wv {

namespace {
class SinkVoice final : public AudioVoice {
  public:
    explicit SinkVoice(QAudioSink* sink) : sink_(sink) {}
    ~SinkVoice() override {
        if (sink_) {
            sink_->stop();
            delete sink_.data();
        }
    }

    bool start(const QByteArray& samples) override {
        if (!sink_) return false;
        sink_->stop();
        buffer_ = std::make_unique<QBuffer>();
        buffer_->setData(samples);
        buffer_->open(QIODevice::ReadOnly);
        sink_->start(buffer_.get());
        return true;
    }

  private:
    QPointer<QAudioSink> sink_;
    std::unique_ptr<QBuffer> buffer_;  // read by the sink while it plays
};
}  // namespace

std::unique_ptr<AudioVoice> QtAudioOutput::makeVoice(int sampleRate, int channels) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return nullptr;
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) return nullptr;
    return std::make_unique<SinkVoice>(new QAudioSink(device, format));
}

}  // namespace wv

extern "C" __attribute__((visibility("default"))) wv::AudioOutput* wv_make_audio_output() {
    return new wv::QtAudioOutput;
}
