#include <gtest/gtest.h>
#include <signal.h>

#include <vector>

#include "sdk/crash/capture/QXSignal.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"

namespace wv {
namespace {

TEST(Signal, NamesUseLinuxNumbers) {
    const struct {
        int signal;
        const char* name;
        const char* codeName;
    } cases[] = {{4, "SIGILL", nullptr},  {5, "SIGTRAP", nullptr},  {6, "SIGABRT", "ABORT"},
                 {7, "SIGBUS", nullptr},  {8, "SIGFPE", nullptr},   {11, "SIGSEGV", nullptr},
                 {31, "SIGSYS", nullptr}, {10, "UNKNOWN", nullptr}, {12, "UNKNOWN", nullptr},
                 {0, "UNKNOWN", nullptr}};
    for (const auto& c : cases) {
        EXPECT_STREQ(QXSignalNameForSignal(c.signal), c.name) << c.signal;
        EXPECT_STREQ(QXSignalCodeNameForSignal(c.signal), c.codeName) << c.signal;
    }
}

TEST(Signal, HandledSignalsComeInTheirOrder) {
    std::vector<std::pair<int, int>> seen;
    QXSignalEnumerateHandledSignals(
        [&](int index, int signal) { seen.emplace_back(index, signal); });
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0, SIGABRT},
                                                      {1, SIGBUS},
                                                      {2, SIGFPE},
                                                      {3, SIGILL},
                                                      {4, SIGSEGV},
                                                      {5, SIGSYS},
                                                      {6, SIGTRAP}}));
}

void busHandler(int) {}

TEST(Signal, InstallKeepsEarlierActionsAndPutsThemBackDefaultsStayDefault) {
    test::ScopedLogContext log;
    const std::string path = (log.folder() / "signal.qxrecord").string();
    test::writeFile(path, "stale\n");
    log.context().signal.path = path.c_str();
    signal(SIGBUS, busHandler);
    signal(SIGSEGV, SIG_DFL);
    signal(SIGFPE, SIG_IGN);

    QXSignalInitialize();
    EXPECT_FALSE(std::filesystem::exists(path));
    QXSignalEnumerateHandledSignals([](int, int signal) {
        struct sigaction current {};
        sigaction(signal, nullptr, &current);
        EXPECT_TRUE(current.sa_flags & SA_SIGINFO) << signal;
        EXPECT_TRUE(current.sa_flags & SA_ONSTACK) << signal;
        EXPECT_EQ(current.sa_sigaction, QXSignalHandler) << signal;
    });

    EXPECT_TRUE(QXSignalSafeInstallPreexistingHandlers());
    struct sigaction bus {
    }, segv{}, fpe{};
    sigaction(SIGBUS, nullptr, &bus);
    sigaction(SIGSEGV, nullptr, &segv);
    sigaction(SIGFPE, nullptr, &fpe);
    EXPECT_EQ(bus.sa_handler, busHandler);
    EXPECT_EQ(segv.sa_handler, SIG_DFL);
    EXPECT_EQ(fpe.sa_handler, SIG_IGN);
    signal(SIGBUS, SIG_DFL);
    signal(SIGFPE, SIG_DFL);
}

TEST(Signal, RemovingHandlersCanSpareAbort) {
    test::ScopedLogContext log;
    log.context().signal.path = "/nonexistent/signal.qxrecord";
    QXSignalInitialize();
    QXSignalSafeRemoveHandlers(false);
    struct sigaction abortAction {
    }, segv{};
    sigaction(SIGABRT, nullptr, &abortAction);
    sigaction(SIGSEGV, nullptr, &segv);
    EXPECT_EQ(abortAction.sa_sigaction, QXSignalHandler);
    EXPECT_EQ(segv.sa_handler, SIG_DFL);
    QXSignalSafeRemoveHandlers(true);
    sigaction(SIGABRT, nullptr, &abortAction);
    EXPECT_EQ(abortAction.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace wv
