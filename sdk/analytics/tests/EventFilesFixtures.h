#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "sdk/analytics/PLREvent.h"
#include "sdk/analytics/PLRLogger.h"
#include "sdk/analytics/PLRMetadataSerializable.h"

namespace wv::testing {

// An event whose time and payload the test chooses.
class FixedEvent : public PLREvent {
  public:
    FixedEvent(double seconds, std::string name, std::optional<nlohmann::ordered_json> payload)
        : at_(std::chrono::duration_cast<WallClock::TimePoint::duration>(
              std::chrono::duration<double>(seconds))),
          name_(std::move(name)),
          payload_(std::move(payload)) {}
    WallClock::TimePoint timestamp() const override { return at_; }
    std::string name() const override { return name_; }
    nlohmann::ordered_json dictionaryRepresentation() const override {
        return payload_ ? *payload_ : nlohmann::ordered_json();
    }

  private:
    WallClock::TimePoint at_;
    std::string name_;
    std::optional<nlohmann::ordered_json> payload_;
};

// Metadata that records the start time it was asked for.
class EchoMetadata : public PLRMetadataSerializable {
  public:
    std::string eventName() const override { return "metadata"; }
    nlohmann::ordered_json dictionaryRepresentationWithStartTime(
        uint64_t startTime) const override {
        return {{"start_time", startTime}, {"app", "com.example.app"}};
    }
};

// A fresh folder for the test, removed afterwards.
inline std::filesystem::path freshFolder(const std::string& name = "events") {
    auto dir = Folders::dataHome() /
               ::testing::UnitTest::GetInstance()->current_test_info()->name() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1)
        lines.push_back(text.substr(start, at - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

inline std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
    return fields;
}

// Runs a shell command; its standard output, and its exit status through `status`.
inline std::string shell(const std::string& command, int* status = nullptr) {
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

inline std::string names(const std::filesystem::path& dir) {
    std::vector<std::string> all;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        all.push_back(e.path().filename().string());
    std::sort(all.begin(), all.end());
    std::string out;
    for (const auto& n : all) out += (out.empty() ? "" : " ") + n;
    return out;
}

// Runs `body` in a child whose files may not grow past `limit` bytes (a full disk for
// regular files); the write that crosses it fails with EFBIG instead of killing the child.
// Returns the child's exit status.
inline int inChildWithFileSizeLimit(rlim_t limit, const std::function<int()>& body) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl {
            limit, limit
        };
        setrlimit(RLIMIT_FSIZE, &rl);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Turns the kit's debug lines on and collects them.
class KitLog {
  public:
    KitLog() { PLRLogger::sharedLogger().setDebugMode(true); }
    ~KitLog() { PLRLogger::sharedLogger().setDebugMode(false); }
    bool contains(const std::string& line) const { return capture_.contains(line); }
    size_t count(const std::string& line) const { return capture_.count(line); }
    std::vector<std::string> lines() const { return capture_.lines(); }

  private:
    LogCapture capture_;
};

}  // namespace wv::testing
