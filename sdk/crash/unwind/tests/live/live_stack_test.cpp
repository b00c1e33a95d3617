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
