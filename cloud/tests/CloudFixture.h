#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cloud/WVCloud.h"
#include "engine/LessonStats.h"
#include "platform/cloudkit/Container.h"
#include "platform/cloudkit/ContainerControl.h"
#include "platform/cloudkit/FolderBackend.h"
#include "platform/cloudkit/ModifyRecordsOperation.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/foundation/Log.h"
#include "platform/plist/UserDefaults.h"

namespace wv::testing {

// One installation of the program: its statistics store, user defaults, container and cloud
// service, over a data folder of its own.
struct Installation {
    std::filesystem::path folder;
    std::unique_ptr<LessonStats> stats;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ck::Container> container;
    std::unique_ptr<WVCloud> cloud;

    // Stores a finished line as the typing screen does: pushed through the cloud service.
    int64_t finishLine(const RowDictionary& row) {
        auto id = stats->addLesson(row, true);
        EXPECT_TRUE(id);
        return id.value_or(0);
    }
    const std::string& identifier() const { return container->installationIdentifier(); }
};

// Installations sharing one folder container in this process; their callbacks come on the
// main queue, which the test pumps by hand (the clock moves only when the test says so).
class CloudFixture : public ::testing::Test {
  protected:
    static constexpr const char* kContainer = "iCloud.com.wovanu.typing";

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        root_ = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / name;
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "cloud");
    }

    void TearDown() override {
        // Let operations in flight end before their owners go.
        pumpFor(0.05);
        installations_.clear();
    }

    ck::CloudConfiguration configuration(const std::string& name, const std::string& account) {
        ck::CloudConfiguration config;
        config.supportFolder = root_ / name;
        config.folder = root_ / "cloud";
        config.account = account;
        return config;
    }

    // A new installation (or the same data folder started again); `start` makes its cloud
    // service, which asks for the account status at once.
    Installation& install(const std::string& name, const std::string& account = "alice",
                          bool start = true) {
        auto made = std::make_unique<Installation>();
        made->folder = root_ / name;
        std::filesystem::create_directories(made->folder);
        made->stats = std::make_unique<LessonStats>(made->folder / "statistics.db", 4);
        made->defaults = std::make_unique<UserDefaults>("com.wovanu.typing",
                                                        made->folder / "UserDefaults.plist");
        made->container = std::make_unique<ck::Container>(configuration(name, account));
        if (start) startCloud(*made);
        installations_.push_back(std::move(made));
        return *installations_.back();
    }

    void startCloud(Installation& installation) {
        installation.cloud = std::make_unique<WVCloud>(*installation.container,
                                                       *installation.defaults, *installation.stats);
        installation.stats->cloud = installation.cloud.get();
    }

    // Ends the installation as a quit would (what is in flight is lost with it).
    void quit(Installation& installation) {
        pumpFor(0.02);
        auto found = std::find_if(installations_.begin(), installations_.end(),
                                  [&](const auto& i) { return i.get() == &installation; });
        if (found != installations_.end()) installations_.erase(found);
    }

    ck::ContainerControl control() {
        return ck::ContainerControl(std::make_unique<ck::FolderBackend>(
            ck::FolderBackend::fileInFolder(root_ / "cloud", kContainer), kContainer));
    }
    size_t serverRecords() { return control().inspect("records").rows.size(); }

    // Runs the main queue until `done` or a few seconds of real time have passed.
    bool pumpUntil(const std::function<bool()>& done, double seconds = 10) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            loop_.runUntilIdle();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        loop_.runUntilIdle();
        return done();
    }
    void pumpFor(double seconds) {
        pumpUntil([] { return false; }, seconds);
    }
    bool logged(const std::string& line) const { return log_.contains(line); }
    bool waitForLine(const std::string& line, size_t count = 1) {
        return pumpUntil([&] { return log_.count(line) >= count; });
    }
    // The lines that begin with `prefix`, in order.
    std::vector<std::string> linesStartingWith(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& line : log_.lines())
            if (line.rfind(prefix, 0) == 0) out.push_back(line);
        return out;
    }

    // A "sessions" row as a finished line writes it.
    static RowDictionary row(int speed, const std::string& timestamp = "2026-01-02 10:00:00",
                             int64_t language = 0, int64_t layout = 1) {
        return {{"timestamp", timestamp},
                {"time", 11.25},
                {"speed", int64_t(speed)},
                {"mistakes", int64_t(1)},
                {"mistakesChars", std::string("ab")},
                {"langId", language},
                {"diffLvl", int64_t(3)},
                {"diffAuto", int64_t(1)},
                {"accuracy", int64_t(97)},
                {"hasDelete", int64_t(0)},
                {"hasNumbers", int64_t(1)},
                {"hasCapitals", int64_t(0)},
                {"hasPunctuation", int64_t(1)},
                {"layoutIdx", layout}};
    }

    // Saves records straight to the private database of `installation`'s account.
    std::optional<ck::Error> saveOnServer(Installation& installation,
                                          std::vector<ck::Record> records) {
        auto op = std::make_shared<ck::ModifyRecordsOperation>(std::move(records),
                                                               std::vector<ck::RecordID>{});
        bool done = false;
        std::optional<ck::Error> error;
        op->setModifyRecordsCompletionBlock([&](const auto&, const auto&, const auto& e) {
            error = e;
            done = true;
        });
        installation.container->privateCloudDatabase().addOperation(op);
        EXPECT_TRUE(pumpUntil([&] { return done; }));
        return error;
    }

    std::filesystem::path root_;
    ManualRunLoop loop_;
    LogCapture log_;
    std::vector<std::unique_ptr<Installation>> installations_;
};

}  // namespace wv::testing
