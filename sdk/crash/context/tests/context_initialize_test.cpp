#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "CrashTestSupport.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXContextInitialize.h"
#include "sdk/crash/context/QXFileReadSections.h"

namespace wv {
namespace {

struct ChildResult {
    int status = -1;
    std::string output;
};

ChildResult run(const std::string& command) {
    ChildResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof(buffer), pipe)) result.output.append(buffer, n);
    result.status = pclose(pipe);
    return result;
}

std::string child(const test::TempFolder& folder, const char* action) {
    return std::string(WV_CONTEXT_CHILD) + " " + folder.path().string() + " " + action;
}

TEST(QXContextInitialize, AbsentInitDataOrFolderIsRefused) {
    QXReadOnlyContext* before = qxContext;
    EXPECT_FALSE(QXContextInitialize(nullptr));
    EXPECT_EQ(qxContext, before);
    QXContextInitData data{};
    EXPECT_FALSE(QXContextInitialize(&data));
    // The records of the base initialisation exist, with nothing set up to log into.
    ASSERT_TRUE(QXIsValidPointer(qxContext));
    ASSERT_TRUE(QXIsValidPointer(qxWritableContext));
    EXPECT_EQ(qxWritableContext->logDescriptor, -1);
    EXPECT_EQ(qxWritableContext->logMinimumLevel, 1);
    EXPECT_FALSE(QXContextIsInitialized());
    EXPECT_FALSE(QXContextMarkAndCheckIfCrashed());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(qxContext->signalStack) % 16, 0u);
    EXPECT_NE(qxLoggingQueue, nullptr);
}

TEST(QXContextInitialize, AChildWritesMetadataAndLogAndRecreatesThemEachRun) {
    test::TempFolder folder;
    test::writeFile(folder / "metadata.qxrecord", "{\"stale\":{}}\n");
    test::writeFile(folder / "sdk.log", "old run\n");
    for (int runNumber = 0; runNumber < 2; ++runNumber) {
        ChildResult result = run(child(folder, "init"));
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(result.output, "debugger=0 altstack=1\n");

        auto lines = QXFileReadSections(folder / "metadata.qxrecord", false);
        ASSERT_TRUE(lines);
        ASSERT_EQ(lines->size(), 3u);
        const auto& identity = (*lines)[0]["identity"];
        EXPECT_EQ(identity["generator"], "Quellix Mac SDK/3.10.1");
        EXPECT_EQ(identity["api_key"], "child-key");
        EXPECT_EQ(identity["session_id"], "session-1");
        EXPECT_EQ(identity["install_id"], "install-1");
        EXPECT_TRUE(identity["beta_token"].is_null());
        EXPECT_EQ(identity["absolute_log_timestamps"], true);
        EXPECT_TRUE((*lines)[1].contains("host"));
        EXPECT_TRUE((*lines)[2]["application"]["extension_id"].is_null());

        std::string log = test::readFile(folder / "sdk.log");
        EXPECT_EQ(log.find("old run"), std::string::npos);
        EXPECT_NE(log.find("INFO  [main:"), std::string::npos) << log;
        EXPECT_NE(log.find("] child init ready\n"), std::string::npos) << log;
    }
}

TEST(QXContextInitialize, AfterProtectionTheReadOnlyContextFaultsAndTheWritableOneWorks) {
    test::TempFolder folder;
    ChildResult faulting = run(child(folder, "write-protected"));
    EXPECT_TRUE(WIFEXITED(faulting.status) && WEXITSTATUS(faulting.status) == 128 + SIGSEGV ||
                WIFSIGNALED(faulting.status) && WTERMSIG(faulting.status) == SIGSEGV)
        << faulting.status << " " << faulting.output;
    ChildResult writing = run(child(folder, "write-writable"));
    EXPECT_EQ(writing.status, 0) << writing.output;
}

TEST(QXContextInitialize, UnderADebuggerNoHandlerIsInstalled) {
    test::TempFolder folder;
    ChildResult result =
        run(std::string(WV_GDB) + " -nx -batch -ex run --args " + child(folder, "init"));
    ASSERT_NE(result.output.find("debugger="), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("debugger=1 altstack=0"), std::string::npos) << result.output;
    std::string log = test::readFile(folder / "sdk.log");
    EXPECT_NE(log.find("WARN  [QXContextInitialize:"), std::string::npos) << log;
    EXPECT_NE(log.find("Debugger present - not installing handlers\n"), std::string::npos) << log;
    EXPECT_TRUE(std::filesystem::exists(folder / "metadata.qxrecord"));
}

}  // namespace
}  // namespace wv
