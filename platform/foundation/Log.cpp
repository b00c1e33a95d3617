#include "platform/foundation/Log.h"

#include <cstdio>
#include <mutex>

namespace wv {

namespace {

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

Log::Sink& currentSink() {
    static Log::Sink sink;
    return sink;
}

void defaultWrite(LogChannel channel, std::string_view line) {
    FILE* out = channel == LogChannel::Console ? stdout : stderr;
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

}  // namespace

void Log::print(std::string_view line) { write(LogChannel::Console, line); }

void Log::system(std::string_view line) { write(LogChannel::System, line); }

void Log::write(LogChannel channel, std::string_view line) {
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(channel, line);
    } else {
        defaultWrite(channel, line);
    }
}

Log::Sink Log::setSink(Sink sink) {
    std::lock_guard lock(sinkMutex());
    Sink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

LogCapture::LogCapture() {
    previous_ = Log::setSink([this](LogChannel channel, std::string_view line) {
        std::lock_guard lock(mutex_);
        entries_.push_back({channel, std::string(line)});
    });
}

LogCapture::~LogCapture() { Log::setSink(std::move(previous_)); }

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& e : entries_) out.push_back(e.text);
    return out;
}

std::vector<std::string> LogCapture::lines(LogChannel channel) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& e : entries_) {
        if (e.channel == channel) out.push_back(e.text);
    }
    return out;
}

bool LogCapture::contains(std::string_view line) const { return count(line) > 0; }

size_t LogCapture::count(std::string_view line) const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& e : entries_) {
        if (e.text == line) ++n;
    }
    return n;
}

void LogCapture::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

}  // namespace wv
