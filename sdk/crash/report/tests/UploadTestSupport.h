#pragma once

// A report folder tree in a temporary root, report folders written as the crash-time code
// writes them, a reader of multipart bodies, and the delegate an upload client reports to.

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/testing/Waiting.h"
#include "platform/net/TrustAnchors.h"
#include "platform/net/testing/TestServer.h"
#include "sdk/core/TRNCertificatePinner.h"
#include "sdk/core/testing/UploadTesting.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"
#include "sdk/crash/report/QXFileManager.h"
#include "sdk/crash/report/QXInternalReport.h"
#include "sdk/crash/report/QXNetworkClient.h"
#include "sdk/crash/report/QXReportsController.h"

namespace wv::test {

using net::testing::TestPKI;

// The layout of a new launch under a temporary root.
class ReportTree {
  public:
    ReportTree() : fileManager(std::make_shared<QXFileManager>(folder_.path() / "root")) {
        EXPECT_TRUE(fileManager->prepareForNewLaunch());
    }
    std::filesystem::path root() const { return fileManager->rootPath(); }

    // A folder under active holding the metadata line (with the key when there is one)
    // and the given files.
    std::shared_ptr<QXInternalReport> makeReport(
        const std::string& identifier, const std::map<std::string, std::string>& files,
        const std::optional<std::string>& apiKey = "API-KEY-1") const {
        const auto dir = fileManager->activePath() / identifier;
        std::filesystem::create_directories(dir);
        nlohmann::json identity = {{"session_id", identifier}, {"started_at", 1700000000}};
        if (apiKey) identity["api_key"] = *apiKey;
        writeFile(dir / "metadata.qxrecord", nlohmann::json{{"identity", identity}}.dump() + "\n");
        for (const auto& [name, bytes] : files) writeFile(dir / name, bytes);
        return QXInternalReport::reportWithPath(dir);
    }
    std::vector<std::filesystem::path> prepared() const {
        return fileManager->preparedPathContents();
    }

  private:
    TempFolder folder_;  // before the file manager, which is made inside it

  public:
    std::shared_ptr<QXFileManager> fileManager;
};

struct Part {
    std::string name;
    std::string filename;
    std::string contentType;
    std::string content;
};

// The parts of a body written with `boundary`, in order; the closing delimiter must end it.
inline std::vector<Part> partsOf(const std::string& body, const std::string& boundary) {
    std::vector<Part> parts;
    const std::string delimiter = "--" + boundary;
    size_t at = body.find(delimiter + "\r\n");
    while (at != std::string::npos) {
        const size_t headStart = at + delimiter.size() + 2;
        const size_t headEnd = body.find("\r\n\r\n", headStart);
        if (headEnd == std::string::npos) break;
        const std::string head = body.substr(headStart, headEnd - headStart);
        const size_t next = body.find("\r\n" + delimiter, headEnd + 4);
        if (next == std::string::npos) break;
        Part part;
        part.content = body.substr(headEnd + 4, next - headEnd - 4);
        auto quoted = [&](const std::string& key) {
            const size_t k = head.find(key + "=\"");
            if (k == std::string::npos) return std::string();
            const size_t start = k + key.size() + 2;
            return head.substr(start, head.find('"', start) - start);
        };
        part.name = quoted("name");
        part.filename = quoted("filename");
        const size_t type = head.find("Content-Type: ");
        if (type != std::string::npos)
            part.contentType = head.substr(type + 14, head.find("\r\n", type) - type - 14);
        parts.push_back(part);
        const size_t after = next + 2 + delimiter.size();
        if (body.compare(after, 4, "--\r\n") == 0) {
            EXPECT_EQ(after + 4, body.size()) << "bytes after the closing delimiter";
            return parts;
        }
        at = next + 2;
    }
    ADD_FAILURE() << "the body does not end with its closing delimiter";
    return parts;
}

class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const std::string& value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) previous_ = old;
        setenv(name_.c_str(), value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (previous_)
            setenv(name_.c_str(), previous_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

// Records what the upload client reports, and on which thread.
class RecordingClientDelegate : public QXNetworkClientDelegate {
  public:
    struct Finish {
        std::string path;
        std::optional<net::Error> error;
        std::thread::id thread;
    };

    explicit RecordingClientDelegate(bool allowBackground = false)
        : allowBackground_(allowBackground) {}
    bool networkClientCanUseBackgroundSessions(QXNetworkClient&) override {
        return allowBackground_;
    }
    void networkClientDidFinishUploadWithPath(QXNetworkClient&, const std::string& path,
                                              const std::optional<net::Error>& error) override {
        if (forward) forward(path, error);
        std::lock_guard lock(mutex_);
        finished_.push_back({path, error, std::this_thread::get_id()});
        changed_.notify_all();
    }
    std::vector<Finish> finished() const {
        std::lock_guard lock(mutex_);
        return finished_;
    }
    bool waitForFinished(size_t count, double seconds = 20) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                                 [&] { return finished_.size() >= count; });
    }

    // What the crash reporting controller does with a finished upload.
    std::function<void(const std::string&, const std::optional<net::Error>&)> forward;

  private:
    bool allowBackground_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Finish> finished_;
};

// Stands where the crash reporting controller will: settings, key and bundle identifier, and
// a list of finished submissions.
class StubReportsDelegate : public QXReportsControllerDelegate {
  public:
    struct Completion {
        std::filesystem::path path;
        std::optional<net::Error> error;
    };
    void reportsControllerDidCompletePackageSubmission(
        QXReportsController&, const std::filesystem::path& path,
        const std::optional<net::Error>& error) override {
        completions.push_back({path, error});
    }
    QXSettings settingsForReportsController(QXReportsController&) override {
        return QXSettings(std::make_shared<const nlohmann::json>(settings));
    }
    std::optional<std::string> APIKeyForReportsController(QXReportsController&) override {
        return "KEY-42";
    }
    std::optional<std::string> bundleIdentifierForReportsController(
        QXReportsController&) override {
        return "com.wovanu.typing";
    }
    nlohmann::json settings = nlohmann::json::object();
    std::vector<Completion> completions;
};

}  // namespace wv::test
