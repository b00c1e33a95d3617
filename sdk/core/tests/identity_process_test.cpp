#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <regex>

#include "TestSupport.h"
#include "platform/foundation/Folders.h"

extern char** environ;

namespace wv {
namespace {

struct HelperRun {
    std::string installID;
    bool isFirstInstall = false;
};

// The helper program in a process of its own, with the given data folder.
HelperRun runHelper(const std::filesystem::path& dataHome) {
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::string(*e).rfind("XDG_DATA_HOME=", 0) != 0) env.emplace_back(*e);
    }
    env.push_back("XDG_DATA_HOME=" + dataHome.string());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char helper[] = WV_IDENTITY_HELPER;
    char* argv[] = {helper, nullptr};
    pid_t pid;
    EXPECT_EQ(posix_spawn(&pid, helper, &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
    HelperRun run;
    std::smatch m;
    EXPECT_TRUE(std::regex_match(text, m, std::regex("([0-9A-F-]{36}) ([01])\n"))) << text;
    if (m.size() == 3) {
        run.installID = m[1];
        run.isFirstInstall = m[2] == "1";
    }
    return run;
}

TEST(InstallationIdentity, SharedAcrossProcessesUntilTheStoreGoes) {
    const auto home = Folders::dataHome() / "processes";
    std::filesystem::create_directories(home);
    const HelperRun first = runHelper(home);
    const HelperRun second = runHelper(home);
    EXPECT_TRUE(first.isFirstInstall);
    EXPECT_FALSE(second.isFirstInstall);
    EXPECT_EQ(second.installID, first.installID);

    // Deleting the store gives a new installation.
    size_t removed = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
        if (entry.path().filename() == "QXUserDefaults.plist") {
            std::filesystem::remove(entry.path());
            ++removed;
            break;
        }
    }
    ASSERT_EQ(removed, 1u);
    const HelperRun third = runHelper(home);
    EXPECT_TRUE(third.isFirstInstall);
    EXPECT_NE(third.installID, first.installID);

    // Another, fresh data folder is another installation.
    const auto other = Folders::dataHome() / "processes-other";
    std::filesystem::create_directories(other);
    const HelperRun elsewhere = runHelper(other);
    EXPECT_TRUE(elsewhere.isFirstInstall);
    EXPECT_NE(elsewhere.installID, third.installID);
}

}  // namespace
}  // namespace wv
