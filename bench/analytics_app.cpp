// The analytics kit as the application drives it: a level-end call with three attributes on
// the caller's thread while the kit's queue is busy (median and 99th percentile of single
// calls); the resident memory after 1,000 and after 10,000 events logged and sent to a
// loopback server; and, with no flush timer, the context switches of every thread but the
// caller's over an idle window (30 s; WV_IDLE_SECONDS shortens it).
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <stdlib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/testing/TestServer.h"
#include "platform/plist/Value.h"
#include "sdk/analytics/PLRFileUtils.h"
#include "sdk/analytics/PLRPlurioController.h"
#include "sdk/analytics/Plurio.h"
#include "sdk/core/QXUserDefaults.h"
#include "sdk/core/TRNSettings.h"
#include "sdk/core/TRNSettingsOnboardingManager.h"
#include "sdk/core/Tarnel.h"

namespace {

using namespace wv;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path scratch() {
    static const fs::path dir = [] {
        char pattern[] = "/tmp/wv-analytics-app-XXXXXX";
        fs::path p = mkdtemp(pattern);
        plist::Dictionary tarnel;
        tarnel.set("APIKey", "0123456789abcdef0123456789abcdef01234567");
        tarnel.set("Kits", plist::Array{});
        plist::Dictionary info;
        info.set("CFBundleIdentifier", "com.example.bench");
        info.set("CFBundleVersion", "1");
        info.set("CFBundleShortVersionString", "1.0");
        info.set("Tarnel", tarnel);
        fs::create_directories(p / "bundle");
        plist::writeFile(p / "bundle" / "Info.plist", plist::Value(info));
        return p;
    }();
    return dir;
}

// The loopback events server runs in a child process: it keeps every request it receives,
// which must not count in this process's memory, and its threads are no part of the SDK.
class ServerProcess {
  public:
    ServerProcess() {
        int fds[2];
        if (pipe(fds) != 0) std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            close(fds[0]);
            auto server = net::testing::TestServer::startHTTP();
            server->script("/events", {{202, "{}"}});
            const int port = server->port();
            if (write(fds[1], &port, sizeof port) != sizeof port) _exit(1);
            for (;;) pause();
        }
        close(fds[1]);
        if (read(fds[0], &port_, sizeof port_) != sizeof port_) std::abort();
        close(fds[0]);
    }
    ~ServerProcess() { stop(); }
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// The kit over an SDK core of its own whose stored settings name a loopback events URL and no
// flush timer: started once for the whole program.
class Kit {
  public:
    Kit()
        : bundle_(scratch() / "bundle"),
          store_(scratch() / "store", "com.example.bench", nullptr),
          sdk_(store_, fs::path()),
          plurio_(sdk_, scratch() / "kit"),
          shared_(plurio_) {
        sdk_.settingsAndOnboardingManager()->settingsModel()->setSettingsDictionary(
            std::make_shared<const nlohmann::json>(nlohmann::json{
                {"analytics", {{"url", server_.url("/events")}, {"flush_interval_secs", 0}}}}));
        Plurio::startWithBetaToken(std::nullopt);
        idle();
        // The install body is made before the settings apply and waits for the next start.
        for (const auto& f : bodies()) waitingAtStart_.push_back(f);
    }
    static Kit& shared() {
        static Kit* kit = new Kit();
        return *kit;
    }

    void idle() { Plurio::waitForPendingEvents(std::chrono::seconds(60)); }
    std::vector<fs::path> bodies() const {
        const auto all = PLRFileUtils::filesWithExtension("multipartmime", scratch() / "kit" / "events");
        return {all.begin(), all.end()};
    }
    // Flushes the current log and waits until every body of this run has been acknowledged.
    void flushAndWaitUntilSent() {
        NotificationCenter::defaultCenter().post("NSApplicationWillResignActiveNotification");
        const auto deadline = Clock::now() + std::chrono::seconds(600);
        for (;;) {
            idle();
            auto now = bodies();
            std::erase_if(now, [&](const fs::path& p) {
                return std::find(waitingAtStart_.begin(), waitingAtStart_.end(), p) !=
                       waitingAtStart_.end();
            });
            if (now.empty()) return;
            if (Clock::now() > deadline) {
                std::printf("%zu bodies not sent in time, e.g. %s\n", now.size(),
                            now.front().filename().c_str());
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void stopServer() { server_.stop(); }

  private:
    ServerProcess server_;  // first: forked before this process has threads
    ScopedMainBundle bundle_;
    QXUserDefaults store_;
    Tarnel sdk_;
    Plurio plurio_;
    Plurio::ScopedSharedInstance shared_;
    std::vector<fs::path> waitingAtStart_;
};

void logLevelEnd(int i) {
    plist::Dictionary attributes;
    attributes.set("layout", "qwerty");
    attributes.set("wpm", int64_t(40 + i % 30));
    attributes.set("accuracy", 0.9 + double(i % 10) / 100.0);
    Plurio::logLevelEnd("Home row " + std::to_string(i % 12), int64_t(i % 100), i % 7 != 0,
                        std::move(attributes));
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// Single calls timed one by one; the queue behind them writes, rotates and uploads all along.
void BM_LevelEndCall(benchmark::State& state) {
    Kit& kit = Kit::shared();
    std::vector<double> micros;
    micros.reserve(200000);
    int i = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        logLevelEnd(i++);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    const double median = percentile(micros, 0.5);
    const double p99 = percentile(micros, 0.99);
    state.counters["median_us"] = median;
    state.counters["p99_us"] = p99;
    std::printf("level-end call: median %.2f us, p99 %.2f us over %zu calls (targets 10 / 50)\n",
                median, p99, micros.size());
    kit.idle();
}
BENCHMARK(BM_LevelEndCall)->Iterations(20000)->Unit(benchmark::kMicrosecond);

long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return 0;
}

// Resident memory with 1,000 events logged and sent, then with 10,000 (the loopback server is
// another process).
void BM_ResidentAfterEventsSent(benchmark::State& state) {
    Kit& kit = Kit::shared();
    long after1000 = 0, after10000 = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) logLevelEnd(i);
        kit.flushAndWaitUntilSent();
        after1000 = statusKiB("VmRSS");
        // At the pace of an application, a thousand at a time, each thousand sent before the
        // next: a burst of 9,000 at once would measure the backlog's high-water mark instead
        // (freed, but kept by the allocator).
        for (int k = 1; k < 10; ++k) {
            for (int i = 1000 * k; i < 1000 * (k + 1); ++i) logLevelEnd(i);
            kit.flushAndWaitUntilSent();
        }
        after10000 = statusKiB("VmRSS");
    }
    state.counters["rss_1000_KiB"] = double(after1000);
    state.counters["rss_10000_KiB"] = double(after10000);
    state.counters["grown_KiB"] = double(after10000 - after1000);
    std::printf("resident: %ld KiB after 1,000 events sent, %ld KiB after 10,000: %+ld KiB "
                "(target within 2048)\n",
                after1000, after10000, after10000 - after1000);
}
BENCHMARK(BM_ResidentAfterEventsSent)->Iterations(1)->Unit(benchmark::kMillisecond);

// Context switches of every thread of the process but the calling one.
long otherThreadSwitches() {
    const long self = syscall(SYS_gettid);
    long total = 0;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == std::to_string(self)) continue;
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::stol(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

void BM_IdleWakeups(benchmark::State& state) {
    Kit& kit = Kit::shared();
    kit.idle();
    kit.stopServer();
    const char* env = getenv("WV_IDLE_SECONDS");
    const int seconds = env ? std::max(1, atoi(env)) : 30;
    long switches = 0;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::seconds(1));  // let the last work settle
        const long before = otherThreadSwitches();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        switches = otherThreadSwitches() - before;
    }
    state.counters["switches"] = double(switches);
    std::printf("idle, no flush timer: %ld context switches of the other threads in %d s "
                "(target 0)\n",
                switches, seconds);
}
BENCHMARK(BM_IdleWakeups)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
