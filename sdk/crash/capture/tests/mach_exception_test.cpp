#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>
#include <deque>
#include <vector>

#include "sdk/crash/capture/QXMachException.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"

namespace wv {
namespace {

TEST(MachException, MasksFollowTheVersionAndTheExclusions) {
    const struct {
        uint32_t version, exclusion, installed;
    } cases[] = {
        {1090, 1024 | 2, 4172},  // minor 9: guard taken; bad access left to its signal
        {0, 1024 | 2, 76},       // minor 12 has no code of its own: no guard
        {1060, 0, 78},           // minor 6: below the guard
        {1070, 0, 4174},        {101100, 4 | 8 | 64, 4098},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QXMachExceptionInstalledMask(c.version, c.exclusion), c.installed)
            << c.version << " " << c.exclusion;
}

TEST(MachException, EachHandledSignalMapsToItsClass) {
    const struct {
        int signal;
        uint32_t mask;
    } cases[] = {{SIGILL, 4},  {SIGTRAP, 64},  {SIGABRT, 1024}, {SIGFPE, 8}, {SIGBUS, 2},
                 {SIGSEGV, 2}, {SIGSYS, 1024}, {SIGTERM, 0},    {0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(QXMachExceptionMaskForSignal(c.signal), c.mask) << c.signal;
}

TEST(MachException, NamesAndCodeNames) {
    const struct {
        int32_t exception;
        int64_t code;
        const char* name;
        const char* codeName;
    } cases[] = {
        {1, 2, "EXC_BAD_ACCESS", "KERN_PROTECTION_FAILURE"},
        {1, 1, "EXC_BAD_ACCESS", "KERN_INVALID_ADDRESS"},
        {1, 0, "EXC_BAD_ACCESS", nullptr},
        {2, 0, "EXC_BAD_INSTRUCTION", "EXC_I386_INVOP"},
        {3, 1, "EXC_ARITHMETIC", "EXC_I386_DIV"},
        {3, 8, "EXC_ARITHMETIC", "EXC_I386_SSEEXTERR"},
        {3, 9, "EXC_ARITHMETIC", nullptr},
        {3, 0, "EXC_ARITHMETIC", nullptr},
        {6, 0, "EXC_BREAKPOINT", "EXC_I386_DIVERR"},
        {6, 3, "EXC_BREAKPOINT", "EXC_I386_BPTFLT"},
        {6, 8, "EXC_BREAKPOINT", nullptr},
        {6, 15, "EXC_BREAKPOINT", nullptr},
        {6, 17, "EXC_BREAKPOINT", "EXC_I386_ALIGNFLT"},
        {6, 18, "EXC_BREAKPOINT", nullptr},
        {6, 33, "EXC_BREAKPOINT", "EXC_I386_ENDPERR"},
        {6, 34, "EXC_BREAKPOINT", nullptr},
        {6, -1, "EXC_BREAKPOINT", nullptr},
        {12, 0, "EXC_GUARD", nullptr},
        {5, 0, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(QXMachExceptionName(c.exception), c.name) << c.exception;
        EXPECT_STREQ(QXMachExceptionCodeName(c.exception, c.code), c.codeName)
            << c.exception << " " << c.code;
    }
}

// A port that hands out the requests it was given, then fails, and keeps the replies.
class FakePort : public QXMachPort {
  public:
    std::deque<QXMachExceptionRequest> requests;
    std::vector<QXMachExceptionReply> replies;
    std::vector<uint32_t> portMasks;
    int sendError = 0;
    int setError = 0;

    int receive(void* buffer, uint32_t size) override {
        if (requests.empty()) return 0x10004003;  // receive interrupted
        EXPECT_EQ(size, sizeof(QXMachExceptionRequest));
        memcpy(buffer, &requests.front(), sizeof(QXMachExceptionRequest));
        requests.pop_front();
        return 0;
    }
    int send(const void* buffer, uint32_t size) override {
        EXPECT_EQ(size, sizeof(QXMachExceptionReply));
        QXMachExceptionReply reply;
        memcpy(&reply, buffer, sizeof reply);
        replies.push_back(reply);
        return sendError;
    }
    uint32_t ownTask() const override { return 0x103; }
    int setExceptionPorts(uint32_t mask, uint32_t, uint32_t, uint32_t) override {
        portMasks.push_back(mask);
        return setError;
    }
};

QXMachExceptionRequest request(uint32_t task, int32_t exception, uint32_t codeCount) {
    QXMachExceptionRequest r{};
    r.header.bits = 0x1213;
    r.header.remotePort = 0x507;
    r.header.id = 2405;
    r.task.name = task;
    r.thread.name = 1;
    r.exception = exception;
    r.codeCount = codeCount;
    r.codes[0] = 1;
    r.codes[1] = 0x10;
    return r;
}

TEST(MachException, AForeignTaskIsAnsweredWithFailureAndNothingIsRecorded) {
    test::ScopedLogContext log;
    log.context().initialized = 1;
    std::string path = (log.folder() / "mach_exception.qxrecord").string();
    log.context().machException.path = path.c_str();
    FakePort port;
    port.requests.push_back(request(0x999, 1, 2));
    QXMachExceptionState state{};
    state.port = &port;
    state.mask = 78;
    QXMachExceptionServer(&state);
    ASSERT_EQ(port.replies.size(), 1u);
    EXPECT_EQ(port.replies[0].returnCode, 5);
    EXPECT_EQ(port.replies[0].header.id, 2505);
    EXPECT_EQ(port.replies[0].header.bits, 0x13u);
    EXPECT_EQ(port.replies[0].header.remotePort, 0x507u);
    EXPECT_EQ(port.replies[0].header.localPort, 0u);
    EXPECT_EQ(port.replies[0].header.size, 36u);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(port.portMasks.empty());  // nothing was unregistered either
    EXPECT_FALSE(log.writable().crashed);
    const std::string sdkLog = log.log();
    EXPECT_NE(sdkLog.find("Mach exception task mis-match, returning failure"), std::string::npos);
    EXPECT_NE(sdkLog.find("Mach exception server thread exiting"), std::string::npos);
}

TEST(MachException, AFailedUnregisterAnswersFailureAndAFailedReplyEndsTheLoop) {
    test::ScopedLogContext log;
    log.context().initialized = 1;
    FakePort port;
    port.setError = 4;
    port.sendError = 0x10000003;
    port.requests.push_back(request(0x103, 1, 2));
    port.requests.push_back(request(0x103, 1, 2));
    QXMachExceptionState state{};
    state.port = &port;
    state.mask = 78;
    QXMachExceptionServer(&state);
    // The second request is never read: the loop ended at the failed reply.
    EXPECT_EQ(port.requests.size(), 1u);
    ASSERT_EQ(port.replies.size(), 1u);
    EXPECT_EQ(port.replies[0].returnCode, 5);
    EXPECT_NE(log.log().find("Failed to unregister"), std::string::npos);
    EXPECT_NE(log.log().find("mach_msg reply failed"), std::string::npos);
}

TEST(MachException, UnregisterRestoresSavedPortsAndClearsTheRest) {
    FakePort port;
    QXMachExceptionState state{};
    state.port = &port;
    state.savedCount = 2;
    state.savedMasks[0] = 2;
    state.savedMasks[1] = 64;
    EXPECT_TRUE(QXMachExceptionUnregister(&state, 78));
    ASSERT_EQ(port.portMasks.size(), 3u);
    EXPECT_EQ(port.portMasks[0], 2u);
    EXPECT_EQ(port.portMasks[1], 64u);
    EXPECT_EQ(port.portMasks[2], 78u & ~2u & ~64u);
}

TEST(MachException, InitOnLinuxRemovesAStaleRecordAndInstallsNothing) {
    test::ScopedLogContext log;
    std::string path = (log.folder() / "mach_exception.qxrecord").string();
    test::writeFile(path, "stale\n");
    log.context().machException.path = path.c_str();
    struct sigaction before {
    }, after{};
    sigaction(SIGSEGV, nullptr, &before);
    QXMachExceptionInit(0);
    sigaction(SIGSEGV, nullptr, &after);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(before.sa_handler, after.sa_handler);
}

}  // namespace
}  // namespace wv
