#pragma once

// What the crash kit's tests share. The kit and the kit core are one object each per process
// and start once, so a test that starts them runs its body again in a process of its own,
// with fresh data, cache and bundle folders (see WV_IN_FRESH_PROCESS).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/foundation/ClassRegistry.h"
#include "platform/plist/Value.h"
#include "sdk/core/TRNKit.h"
#include "sdk/core/TRNPlurioOperations.h"

namespace wv::test {

class KitTempFolder {
  public:
    KitTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qxkit-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~KitTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    KitTempFolder(const KitTempFolder&) = delete;
    KitTempFolder& operator=(const KitTempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline constexpr const char* kTestBundleIdentifier = "com.wovanu.kit-test";
inline constexpr const char* kTestAPIKey = "KIT-KEY-1";

// An application bundle whose Info.plist names the test API key and the crash kit, plus
// whatever `extra` adds.
inline void writeBundle(const std::filesystem::path& bundle,
                        const plist::Dictionary& extra = plist::Dictionary()) {
    std::filesystem::create_directories(bundle);
    plist::Dictionary kit;
    kit.set("KitName", plist::Value("Quellix"));
    plist::Dictionary tarnel;
    tarnel.set("APIKey", plist::Value(kTestAPIKey));
    tarnel.set("Kits", plist::Value(plist::Array{plist::Value(kit)}));
    plist::Dictionary info;
    info.set("CFBundleIdentifier", plist::Value(kTestBundleIdentifier));
    info.set("CFBundleShortVersionString", plist::Value("1.2"));
    info.set("CFBundleVersion", plist::Value("12"));
    info.set("Tarnel", plist::Value(tarnel));
    for (const auto& [key, value] : extra) info.set(key, value);
    plist::writeFile(bundle / "Info.plist", plist::Value(info));
}

// A stand-in for the analytics kit, linked under its name while it lives: it records every
// call the crash kit makes into it.
class RecordingPlurio {
  public:
    RecordingPlurio()
        : registration_(TRNPlurioOperations::kClassName,
                        static_cast<const TRNKitClass*>(&kitClass_)) {
        kitClass_.name = TRNPlurioOperations::kClassName;
        kitClass_.declaresTRNKit = true;
        kitClass_.bundleIdentifier = [] { return std::string("io.plurio.sdk.mac"); };
        kitClass_.kitDisplayVersion = [] { return std::string("1.0.0"); };
        auto ops = std::make_shared<TRNPlurioOperations>();
        ops->startWithBetaToken = [this](const std::optional<std::string>& token) {
            std::lock_guard lock(mutex_);
            starts_.push_back(token);
        };
        ops->logPreviousSessionCrashedOnDate = [this](plist::Date date) {
            std::lock_guard lock(mutex_);
            crashDates_.push_back(date);
        };
        ops->logCustomEventWithName = [this](const std::string& name,
                                             const std::optional<plist::Dictionary>& attributes) {
            std::lock_guard lock(mutex_);
            events_.emplace_back(name, attributes);
        };
        kitClass_.operations = std::shared_ptr<const TRNPlurioOperations>(ops);
    }
    RecordingPlurio(const RecordingPlurio&) = delete;
    RecordingPlurio& operator=(const RecordingPlurio&) = delete;

    std::vector<std::optional<std::string>> starts() const {
        std::lock_guard lock(mutex_);
        return starts_;
    }
    std::vector<plist::Date> crashDates() const {
        std::lock_guard lock(mutex_);
        return crashDates_;
    }
    std::vector<std::pair<std::string, std::optional<plist::Dictionary>>> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

  private:
    TRNKitClass kitClass_;
    ScopedClassRegistration registration_;
    mutable std::mutex mutex_;
    std::vector<std::optional<std::string>> starts_;
    std::vector<plist::Date> crashDates_;
    std::vector<std::pair<std::string, std::optional<plist::Dictionary>>> events_;
};

// In the parent: runs this very test in a child process (the test binary again, filtered to
// it) with fresh XDG data and cache folders and a fresh bundle, fails when the child fails,
// and gives false. In that child: gives true, so the body runs there. `prepare` may add to
// the folders before the child starts (its argument is the folder holding data/, cache/ and
// bundle/).
// In the child, the process ends as soon as the test has: the kit's queues and handlers live
// until the process ends and are not taken down by static destructors.
class FreshProcessExit : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& info) override {
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(info.result()->Passed() ? 0 : 1);
    }
};

template <class Prepare>
bool inFreshProcess(Prepare prepare) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    if (const char* marker = std::getenv("WV_KIT_FRESH_PROCESS"); marker && name == marker) {
        // The test main made folders of its own for this process; the test's are the ones
        // its parent prepared.
        if (const char* home = std::getenv("HOME"); home && std::string(home).starts_with("/tmp/wovanu-test-")) {
            std::error_code ec;
            std::filesystem::remove_all(home, ec);
        }
        const std::filesystem::path base = std::getenv("WV_KIT_FRESH_FOLDER");
        setenv("XDG_DATA_HOME", (base / "data").c_str(), 1);
        setenv("XDG_CACHE_HOME", (base / "cache").c_str(), 1);
        setenv("HOME", base.c_str(), 1);
        static bool listening = false;
        if (!listening) {
            listening = true;
            ::testing::UnitTest::GetInstance()->listeners().Append(new FreshProcessExit);
        }
        return true;
    }
    KitTempFolder folder;
    std::filesystem::create_directories(folder / "data");
    std::filesystem::create_directories(folder / "cache");
    writeBundle(folder / "bundle");
    prepare(folder.path());
    const auto output = folder / "output";
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("WV_KIT_FRESH_PROCESS", name.c_str(), 1);
        setenv("WV_KIT_FRESH_FOLDER", folder.path().c_str(), 1);
        setenv("WOVANU_BUNDLE_DIR", (folder / "bundle").c_str(), 1);
        const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        const std::string filter = "--gtest_filter=" + name;
        execl("/proc/self/exe", "kit-test", filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the test's own process failed (status " << status << "):\n"
        << readText(output);
    return false;
}

inline bool inFreshProcess() {
    return inFreshProcess([](const std::filesystem::path&) {});
}

}  // namespace wv::test

// The rest of the test body runs in a process of its own.
#define WV_IN_FRESH_PROCESS(...) \
    if (!::wv::test::inFreshProcess(__VA_ARGS__)) return
