// Without a configured cloud the program opens no cloud file and no socket: the probe below
// does what the program does with its cloud, and runs again under strace.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/cloudkit/Container.h"
#include "platform/cloudkit/KeyValueStore.h"
#include "platform/cloudkit/ModifyRecordsOperation.h"
#include "platform/dispatch/ManualRunLoop.h"

namespace wv::ck {
namespace {

TEST(UnconfiguredTest, DISABLED_Probe) {
    ManualRunLoop loop;
    Container& container = Container::defaultContainer();
    KeyValueStore& store = KeyValueStore::defaultStore();
    int done = 0;
    container.accountStatusWithCompletionHandler([&](AccountStatus, const auto&) { ++done; });
    auto op = std::make_shared<ModifyRecordsOperation>(std::vector<Record>{Record("T")},
                                                       std::vector<RecordID>{});
    op->setModifyRecordsCompletionBlock([&](const auto&, const auto&, const auto&) { ++done; });
    container.privateCloudDatabase().addOperation(op);
    container.registerForRemoteNotifications([](const plist::Dictionary&) {});
    store.setObject(plist::Value(int64_t(1)), "config");
    store.synchronize();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (done < 2 && std::chrono::steady_clock::now() < deadline) {
        loop.runUntilIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // past two poll beats
    EXPECT_EQ(done, 2);
}

TEST(UnconfiguredTest, OpensNoCloudFileAndNoSocket) {
    char pattern[] = "/tmp/wv-strace-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    const std::string log = folder + "/trace";
    const std::string command =
        "env -u WOVANU_CLOUD_FOLDER -u WOVANU_CLOUD_SERVER -u WOVANU_CLOUD_ACCOUNT strace -f -qq "
        "-e trace=open,openat,socket,connect -o " +
        log + " /proc/" + std::to_string(getpid()) +
        "/exe --gtest_also_run_disabled_tests --gtest_filter=UnconfiguredTest.DISABLED_Probe "
        "> /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    FILE* in = fopen(log.c_str(), "r");
    ASSERT_TRUE(in);
    char line[4096];
    size_t lines = 0;
    while (fgets(line, sizeof line, in)) {
        const std::string text(line);
        ++lines;
        EXPECT_EQ(text.find("socket("), std::string::npos) << text;
        EXPECT_EQ(text.find("connect("), std::string::npos) << text;
        EXPECT_EQ(text.find(".sqlite"), std::string::npos) << text;
        EXPECT_EQ(text.find("cloud"), std::string::npos) << text;
    }
    fclose(in);
    EXPECT_GT(lines, 0u) << "strace saw nothing";
    std::system(("rm -rf " + folder).c_str());
}

}  // namespace
}  // namespace wv::ck
