// Our walk against libunwind's, from the same point of the same live stacks.
#include <dlfcn.h>
#include <gtest/gtest.h>
#define UNW_LOCAL_ONLY  // this process only: the local variant, without remote support
#include <libunwind.h>
#include <signal.h>
#include <ucontext.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sdk/crash/images/testing/QXTestImageTable.h"
#include "sdk/crash/unwind/QXUnwind.h"
#include "sdk/crash/unwind/tests/live/CallChain.h"

namespace wv {
namespace {

constexpr int kMaximumFrames = 128;

struct Walks {
    uint64_t ours[kMaximumFrames];
    int oursCount;
    uint64_t theirs[kMaximumFrames];
    int theirsCount;
    // Ours again, from the handler's own registers: through the signal frame the kernel
    // pushed and on into the interrupted leaf.
    uint64_t fromHandler[kMaximumFrames];
    int fromHandlerCount;
};

Walks gWalks;

// Runs on the faulting thread's own stack, with the leaf's registers in `context`; both walks
// start from them, then the leaf goes on after its two-byte ud2.
void onIllegalInstruction(int, siginfo_t*, void* context) {
    auto* uc = static_cast<ucontext_t*>(context);
    gWalks.oursCount = 0;
    QXMachineContext machine;
    QXUnwindCursor cursor;
    if (QXMachineContextFromUContext(uc, &machine) && QXUnwindInit(&cursor, machine)) {
        while (gWalks.oursCount < kMaximumFrames && QXUnwindNextFrame(&cursor)) {
            gWalks.ours[gWalks.oursCount++] = QXUnwindGetPC(&cursor);
        }
    }
    gWalks.theirsCount = 0;
    unw_cursor_t theirs;
    if (unw_init_local2(&theirs, reinterpret_cast<unw_context_t*>(uc), UNW_INIT_SIGNAL_FRAME) ==
        0) {
        do {
            unw_word_t ip = 0;
            unw_get_reg(&theirs, UNW_REG_IP, &ip);
            gWalks.theirs[gWalks.theirsCount++] = ip;
        } while (gWalks.theirsCount < kMaximumFrames && unw_step(&theirs) > 0);
    }
    gWalks.fromHandlerCount = 0;
    ucontext_t own;
    if (getcontext(&own) == 0 && QXMachineContextFromUContext(&own, &machine) &&
        QXUnwindInit(&cursor, machine)) {
        while (gWalks.fromHandlerCount < kMaximumFrames && QXUnwindNextFrame(&cursor)) {
            gWalks.fromHandler[gWalks.fromHandlerCount++] = QXUnwindGetPC(&cursor);
        }
    }
    uc->uc_mcontext.gregs[REG_RIP] += 2;
}

std::string describe(const uint64_t* pcs, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        Dl_info info{};
        char line[64];
        snprintf(line, sizeof(line), "  %2d %#llx ", i, static_cast<unsigned long long>(pcs[i]));
        text += line;
        if (dladdr(reinterpret_cast<void*>(pcs[i]), &info) != 0 && info.dli_sname != nullptr) {
            text += info.dli_sname;
        }
        text += "\n";
    }
    return text;
}

struct Route {
    const char* name;
    const char* links;
};

class LiveStack : public ::testing::TestWithParam<Route> {};

TEST_P(LiveStack, givesTheReturnAddressesLibunwindGives) {
    test::QXTestImageTable images;
    struct sigaction action {
    }, previous{};
    action.sa_sigaction = onIllegalInstruction;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGILL, &action, &previous), 0);
    test::runRoute(GetParam().links);
    sigaction(SIGILL, &previous, nullptr);

    const Walks& w = gWalks;
    std::string both = "ours:\n" + describe(w.ours, w.oursCount) + "libunwind:\n" +
                       describe(w.theirs, w.theirsCount);
    // The route's own links, the test body and gtest's frames at least.
    ASSERT_GT(w.theirsCount, static_cast<int>(strlen(GetParam().links)) + 3) << both;
    ASSERT_GE(w.oursCount, w.theirsCount) << both;
    for (int i = 0; i < w.theirsCount; ++i) {
        ASSERT_EQ(w.ours[i], w.theirs[i]) << "frame " << i << "\n" << both;
    }
    // The walk starts at the leaf's own instruction, not one byte before it.
    // The leaf is its ud2 and a return (after an endbr64 where the build adds one).
    auto leaf = reinterpret_cast<uint64_t>(&test::wvChainFramelessLeaf);
    EXPECT_GE(w.ours[0], leaf) << both;
    EXPECT_LT(w.ours[0], leaf + 8) << both;

    // Above the signal frame stands the interrupted instruction itself, looked up as it is
    // (a return address would be looked up one byte back, here before the leaf's first byte),
    // and from there the walk is the one that started from the signal's registers.
    std::string handler = "from the handler:\n" + describe(w.fromHandler, w.fromHandlerCount) +
                          "from the signal's registers:\n" + describe(w.ours, w.oursCount);
    int at = 0;
    while (at < w.fromHandlerCount && w.fromHandler[at] != w.ours[0]) ++at;
    ASSERT_LT(at, w.fromHandlerCount) << handler;
    ASSERT_GE(w.fromHandlerCount - at, w.theirsCount) << handler;
    for (int i = 0; i < w.theirsCount; ++i) {
        ASSERT_EQ(w.fromHandler[at + i], w.ours[i]) << "frame " << i << "\n" << handler;
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, LiveStack,
                         ::testing::Values(Route{"leaf_only", ""}, Route{"frame_pointers", "fff"},
                                           Route{"no_frame_pointers", "nnn"},
                                           Route{"large_frame", "lf"}, Route{"alloca", "an"},
                                           Route{"inside_catch", "cn"},
                                           Route{"through_qsort", "qn"},
                                           Route{"every_kind", "fnlacqnf"},
                                           Route{"nested_catch_and_qsort", "cqcqa"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wv
