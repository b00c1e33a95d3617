#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>

#include "CrashTestSupport.h"
#include "sdk/crash/context/QXMachineContext.h"

namespace wv {
namespace {

QXMachineContextX86_64 numberedX86() {
    QXMachineContextX86_64 c;
    auto* words = reinterpret_cast<uint64_t*>(&c);
    for (size_t i = 0; i < sizeof(c) / 8; ++i)
        words[i] = 1000 + i;  // 1000 + position in the record
    return c;
}

TEST(QXMachineContext, X86DwarfNumbersFollowTheAbi) {
    // DWARF number -> position of that register in the `registers` record.
    const int position[17] = {0, 3, 2, 1, 5, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    QXMachineContextX86_64 c = numberedX86();
    for (uint64_t n = 0; n <= 16; ++n) {
        EXPECT_EQ(QXDwarfUnwindGetRegisterValue(&c, n), 1000u + position[n]) << n;
        EXPECT_TRUE(QXDwarfUnwindSetRegisterValue(&c, n, 7 * n));
        EXPECT_EQ(reinterpret_cast<uint64_t*>(&c)[position[n]], 7 * n);
    }
    EXPECT_EQ(QXMachineContextGetPC(&c), 7u * 16);
    EXPECT_EQ(QXMachineContextGetSP(&c), 7u * 7);
    EXPECT_EQ(QXMachineContextGetFP(&c), 7u * 6);
}

TEST(QXMachineContext, ArmDwarfNumbers) {
    QXMachineContextArm64 c{};
    for (uint64_t n = 0; n <= 31; ++n) ASSERT_TRUE(QXDwarfUnwindSetRegisterValue(&c, n, 100 + n));
    EXPECT_EQ(c.x[0], 100u);
    EXPECT_EQ(c.x[28], 128u);
    EXPECT_EQ(c.fp, 129u);
    EXPECT_EQ(c.lr, 130u);
    EXPECT_EQ(c.sp, 131u);
    EXPECT_EQ(c.pc, 0u);  // no DWARF number reaches the PC
    EXPECT_EQ(QXDwarfUnwindGetRegisterValue(&c, kQXDwarfReturnAddressArm64), 130u);
    EXPECT_EQ(QXMachineContextGetFP(&c), 129u);
    EXPECT_EQ(QXMachineContextGetSP(&c), 131u);
}

TEST(QXMachineContext, UnknownNumbersAndAbsentContextsAreRefused) {
    test::ScopedLogContext scope;
    QXMachineContextX86_64 x = numberedX86();
    QXMachineContextArm64 a{};
    EXPECT_EQ(QXDwarfUnwindGetRegisterValue(&x, 17), 0u);
    EXPECT_FALSE(QXDwarfUnwindSetRegisterValue(&x, 17, 1));
    EXPECT_EQ(QXDwarfUnwindGetRegisterValue(&a, 32), 0u);
    EXPECT_FALSE(QXDwarfUnwindSetRegisterValue(&a, 32, 1));
    QXMachineContextX86_64 untouched = numberedX86();
    EXPECT_EQ(memcmp(&x, &untouched, sizeof(x)), 0);
    EXPECT_NE(scope.log().find("Error: Unrecognized get register number 17"), std::string::npos)
        << scope.log();
    EXPECT_NE(scope.log().find("Unrecognized set register number 32"), std::string::npos);

    const QXMachineContextX86_64* none = nullptr;
    EXPECT_EQ(QXMachineContextGetPC(none), 0u);
    EXPECT_EQ(QXMachineContextGetSP(none), 0u);
    EXPECT_EQ(QXMachineContextGetFP(none), 0u);
    auto* low = reinterpret_cast<QXMachineContextX86_64*>(uintptr_t(64));
    EXPECT_FALSE(QXMachineContextSetPC(static_cast<QXMachineContextX86_64*>(nullptr), 1));
    EXPECT_FALSE(QXMachineContextSetSP(low, 1));
    EXPECT_FALSE(QXMachineContextSetFP(low, 1));
}

template <class Context>
void checkFramePointerStep(Context initial) {
    test::ScopedLogContext scope;
    // A caller frame as a frame-pointer chain leaves it: saved FP, then the return address.
    alignas(16) uint64_t frame[2] = {0x7ffd0000aa00ull, 0x401234ull};
    QXUnwindCursorOf<Context> cursor{};
    cursor.context = initial;
    QXMachineContextSetFP(&cursor.context, reinterpret_cast<uintptr_t>(frame));
    Context before = cursor.context;
    ASSERT_TRUE(QXCompactUnwindBPFrame(&cursor));
    Context expected = before;
    QXMachineContextSetPC(&expected, 0x401234);
    QXMachineContextSetFP(&expected, 0x7ffd0000aa00ull);
    QXMachineContextSetSP(&expected, reinterpret_cast<uintptr_t>(frame) + 16);
    EXPECT_EQ(memcmp(&cursor.context, &expected, sizeof(Context)), 0);

    // The next frame pointer is not readable: the step fails and leaves the cursor alone.
    QXMachineContextSetFP(&cursor.context, 8);
    Context stuck = cursor.context;
    EXPECT_FALSE(QXCompactUnwindBPFrame(&cursor));
    EXPECT_EQ(memcmp(&cursor.context, &stuck, sizeof(Context)), 0);
    EXPECT_NE(scope.log().find("Error: failed to read memory at address 0x8"), std::string::npos)
        << scope.log();
}

TEST(QXMachineContext, FramePointerStepRestoresExactlyPcFpSp) {
    checkFramePointerStep(numberedX86());
    QXMachineContextArm64 arm;
    auto* words = reinterpret_cast<uint64_t*>(&arm);
    for (size_t i = 0; i < sizeof(arm) / 8; ++i) words[i] = 500 + i;
    checkFramePointerStep(arm);
}

#if defined(__x86_64__)
// Filled from the context a real signal handler receives.
volatile sig_atomic_t gFilled = 0;
QXMachineContext gFromSignal;
ucontext_t gRaw;

void handler(int, siginfo_t*, void* raw) {
    gRaw = *static_cast<ucontext_t*>(raw);
    gFilled = QXMachineContextFromUContext(static_cast<ucontext_t*>(raw), &gFromSignal);
}

TEST(QXMachineContext, FilledFromASignalContext) {
    struct sigaction action {
    }, previous{};
    action.sa_sigaction = handler;
    action.sa_flags = SA_SIGINFO;
    sigaction(SIGUSR2, &action, &previous);
    raise(SIGUSR2);
    sigaction(SIGUSR2, &previous, nullptr);
    ASSERT_TRUE(gFilled);
    const greg_t* g = gRaw.uc_mcontext.gregs;
    EXPECT_EQ(gFromSignal.rip, uint64_t(g[REG_RIP]));
    EXPECT_EQ(gFromSignal.rsp, uint64_t(g[REG_RSP]));
    EXPECT_EQ(gFromSignal.rbp, uint64_t(g[REG_RBP]));
    EXPECT_EQ(gFromSignal.r15, uint64_t(g[REG_R15]));
    EXPECT_EQ(gFromSignal.rflags, uint64_t(g[REG_EFL]));
    EXPECT_EQ(gFromSignal.cs, uint64_t(g[REG_CSGSFS]) & 0xffff);
    EXPECT_NE(gFromSignal.cs, 0u);
    EXPECT_FALSE(QXMachineContextFromUContext(nullptr, &gFromSignal));
}
#endif

}  // namespace
}  // namespace wv
