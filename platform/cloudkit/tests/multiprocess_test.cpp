// Several processes on one container file: children made by fork() open their own
// connections, as installations in separate programs would.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "platform/cloudkit/ContainerControl.h"
#include "platform/cloudkit/FolderBackend.h"

namespace wv::ck {
namespace {

constexpr const char* kContainer = "iCloud.test.container";
constexpr const char* kType = "WVLessonStats";

std::filesystem::path storeFile() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const auto folder = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / info->name();
    std::filesystem::remove_all(folder);
    return FolderBackend::fileInFolder(folder, kContainer);
}

// Runs `body` in a child process; its return value is the child's exit status.
pid_t spawn(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

int exitStatus(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

std::string shell(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[512];
    size_t n;
    while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    if (pipe) pclose(pipe);
    return text;
}

TEST(MultiProcessTest, TwoWritersAndAReaderShareOneContainer) {
    const auto file = storeFile();
    {
        FolderBackend setup(file, kContainer);
        ASSERT_FALSE(setup.open());
        ASSERT_FALSE(setup
                         .saveSubscription({"setup", "alice"}, Scope::Private,
                                           Subscription(kType, Predicate::withValue(true), 3))
                         .error);
    }
    constexpr int kRecords = 1000;
    constexpr int kPerSave = 10;
    auto writer = [&](const std::string& installation) {
        return [&, installation] {
            FolderBackend backend(file, kContainer);
            if (backend.open()) return 2;
            for (int i = 0; i < kRecords / kPerSave; ++i) {
                std::vector<Record> records;
                for (int j = 0; j < kPerSave; ++j) {
                    Record r(kType);
                    r.setObject("localID", int64_t(i * kPerSave + j));
                    records.push_back(r);
                }
                const auto result =
                    backend.modifyRecords({installation, "alice"}, Scope::Private, records, {});
                if (result.error) {
                    fprintf(stderr, "%s: %s\n", installation.c_str(),
                            result.error->description().c_str());
                    return 1;
                }
            }
            return 0;
        };
    };
    // The reader follows its token until it has every notification, each once.
    auto reader = [&] {
        FolderBackend backend(file, kContainer);
        if (backend.open()) return 2;
        std::set<std::string> ids, records;
        std::optional<ServerChangeToken> token;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (ids.size() < 2 * kRecords && std::chrono::steady_clock::now() < deadline) {
            const auto page = backend.fetchNotificationChanges({"reader", "alice"}, token, 50);
            if (page.error) {
                fprintf(stderr, "reader: %s\n", page.error->description().c_str());
                return 1;
            }
            for (const auto& n : page.notifications) {
                if (!ids.insert(n.notificationID).second) return 3;
                if (!records.insert(n.recordID->recordName()).second) return 4;
            }
            token = ServerChangeToken::unarchive(page.token->archive());
            if (!page.moreComing) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return ids.size() == 2 * kRecords ? 0 : 5;
    };
    const pid_t r = spawn(reader);
    const pid_t a = spawn(writer("writer-A"));
    const pid_t b = spawn(writer("writer-B"));
    EXPECT_EQ(exitStatus(a), 0);
    EXPECT_EQ(exitStatus(b), 0);
    EXPECT_EQ(exitStatus(r), 0) << "3: a notification twice, 4: a record twice, 5: some missing";

    ContainerControl control(std::make_unique<FolderBackend>(file, kContainer));
    EXPECT_EQ(control.inspect("records").rows.size(), 2u * kRecords);
    const Table changes = control.inspect("changes");
    ASSERT_EQ(changes.rows.size(), 1u + 2 * kRecords / kPerSave);
    for (size_t i = 0; i < changes.rows.size(); ++i) {
        ASSERT_EQ(changes.rows[i][0], std::to_string(i + 1)) << "numbers rise without gaps";
    }
    const Table records = control.inspect("records");
    int64_t previous = 0;
    for (const auto& row : records.rows) {
        const int64_t created = std::stoll(row[5]);
        EXPECT_GE(created, previous) << "records take their numbers in commit order";
        previous = created;
    }
}

// A writer killed at random moments loses nothing it reported as saved, and the file stays
// whole.
TEST(MultiProcessTest, AWriterKilledAtRandomLosesNothingItReported) {
    const auto file = storeFile();
    {
        FolderBackend setup(file, kContainer);
        ASSERT_FALSE(setup.open());
    }
    std::mt19937 random(20240501);
    std::set<std::string> reported;
    for (int round = 0; round < 6; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = spawn([&] {
            close(fds[0]);
            FolderBackend backend(file, kContainer);
            if (backend.open()) return 2;
            for (int i = 0;; ++i) {
                Record r(kType);
                r.setObject("localID", int64_t(i));
                r.setObject("note", std::string(200, 'n'));
                const auto result =
                    backend.modifyRecords({"victim", "alice"}, Scope::Private, {r}, {});
                if (result.error) return 1;
                const std::string line = r.recordID().recordName() + "\n";
                if (write(fds[1], line.data(), line.size()) != ssize_t(line.size())) return 3;
            }
        });
        close(fds[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + random() % 120));
        kill(child, SIGKILL);
        EXPECT_EQ(exitStatus(child), 100 + SIGKILL);
        std::string text;
        char buffer[4096];
        ssize_t n;
        while ((n = read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, size_t(n));
        close(fds[0]);
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            reported.insert(text.substr(start, end - start));
        }
    }
    EXPECT_EQ(shell("sqlite3 '" + file.string() + "' 'PRAGMA integrity_check'"), "ok\n");
    ASSERT_FALSE(reported.empty());
    const std::string names = shell("sqlite3 '" + file.string() + "' 'SELECT name FROM records'");
    for (const auto& name : reported) {
        EXPECT_NE(names.find(name + "\n"), std::string::npos) << name << " was reported saved";
    }
}

}  // namespace
}  // namespace wv::ck
