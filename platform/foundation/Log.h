#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace wv {

// Every line the program prints goes through here, so a test can see exactly what was said.
// `print` is the console (standard output); `system` is the system log (standard error).
// Safe from any thread: a line is written whole.
enum class LogChannel { Console, System };

class Log {
public:
    static void print(std::string_view line);
    static void system(std::string_view line);
    static void write(LogChannel channel, std::string_view line);

    using Sink = std::function<void(LogChannel, std::string_view)>;
    // Replaces where lines go; returns the previous sink. An empty sink restores the default.
    static Sink setSink(Sink sink);
};

// Collects every line written while it lives (and keeps them off the terminal).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;  // both channels, in order
    std::vector<std::string> lines(LogChannel channel) const;
    bool contains(std::string_view line) const;
    size_t count(std::string_view line) const;
    void clear();

private:
    struct Entry {
        LogChannel channel;
        std::string text;
    };
    std::vector<Entry> entries_;
    Log::Sink previous_;
    mutable std::mutex mutex_;
};

}  // namespace wv
