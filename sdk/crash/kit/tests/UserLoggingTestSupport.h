#pragma once

// A crash context initialised in this process over a temporary report folder, with none of
// the crash handlers installed: what user logging and the report object need, and nothing
// that would change how the test program dies.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/dispatch/SerialQueue.h"
#include "platform/dispatch/testing/Waiting.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXContextInitialize.h"
#include "sdk/crash/context/QXFileReadSections.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"

namespace wv::test {

struct LoggingLimits {
    uint32_t maxCustomKeys = 16;
    uint32_t logBufferSize = 65536;
    bool errorReportingEnabled = true;
    uint32_t maxCustomExceptions = 16;
};

class LiveContext {
  public:
    explicit LiveContext(const std::filesystem::path& folder, LoggingLimits limits = {},
                         const std::string& identifier = "run-1")
        : folder_(folder), previousInstallers_(QXContextGetInstallers()) {
        std::filesystem::create_directories(folder);
        QXContextSetInstallers({});
        QXContextInitData data{};
        data.apiKey = "API-KEY-1";
        data.reportDirectory = folder_.c_str();
        data.executionIdentifier = identifier.c_str();
        data.installationIdentifier = "install-1";
        data.errorReportingEnabled = limits.errorReportingEnabled;
        data.customExceptionsEnabled = 1;
        data.maxCustomExceptions = limits.maxCustomExceptions;
        data.errorLogBufferSize = limits.logBufferSize;
        data.logBufferSize = limits.logBufferSize;
        data.maxCustomKeys = limits.maxCustomKeys;
        EXPECT_TRUE(QXContextInitialize(&data));
        EXPECT_TRUE(eventually([] { return QXContextIsInitialized(); }));
    }
    ~LiveContext() {
        drain();
        QXContextSetInstallers(previousInstallers_);
    }
    LiveContext(const LiveContext&) = delete;
    LiveContext& operator=(const LiveContext&) = delete;

    // Compactions and swaps queued behind the writes have run.
    void drain() const {
        if (qxLoggingQueue != nullptr) qxLoggingQueue->drain();
    }
    std::filesystem::path operator/(const std::string& name) const { return folder_ / name; }
    std::string sdkLog() const { return readFile(folder_ / "sdk.log"); }

    // The objects under `section` of each line of the file; empty when it does not exist.
    std::vector<nlohmann::json> lines(const std::string& name,
                                      const std::string& section) const {
        std::vector<nlohmann::json> out;
        if (!std::filesystem::exists(folder_ / name)) return out;
        for (const auto& line : QXFileReadSections(folder_ / name, false).value_or(
                 std::vector<nlohmann::json>{}))
            if (line.contains(section)) out.push_back(line[section]);
        return out;
    }

  private:
    std::filesystem::path folder_;
    QXContextInstallers previousInstallers_;
};

// Hides the context, as before the kit starts, and puts it back.
class ScopedNoContext {
  public:
    ScopedNoContext() : context_(qxContext), writable_(qxWritableContext) {
        qxContext = nullptr;
        qxWritableContext = nullptr;
    }
    ~ScopedNoContext() {
        qxContext = context_;
        qxWritableContext = writable_;
    }

  private:
    QXReadOnlyContext* context_;
    QXWritableContext* writable_;
};

inline std::string hex(const std::string& text) { return QXFileHexEncodeString(text); }

}  // namespace wv::test
