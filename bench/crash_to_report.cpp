// The time from a fault to the death of the process that had it, with the crash report
// written in between: the crash child prints the wall-clock time just before it faults, with
// 16 threads 32 frames deep besides its own, and the parent notes the time waitpid returns.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

int64_t nowNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return int64_t(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Nanoseconds from the child's fault to its death; -1 when the child did not die by a signal.
int64_t oneCrash(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder / "cache");
    std::filesystem::create_directories(folder / "data");
    int out[2];
    if (pipe(out) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(WV_CRASH_CHILD, WV_CRASH_CHILD, "deep-threads", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const int64_t died = nowNanoseconds();
    const auto at = text.find("fault at ");
    if (!WIFSIGNALED(status) || at == std::string::npos) return -1;
    return died - std::stoll(text.substr(at + 9));
}

void BM_CrashToReport(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "crash_to_report";
    for (auto _ : state) {
        std::filesystem::remove_all(folder);
        const int64_t elapsed = oneCrash(folder);
        if (elapsed < 0) {
            state.SkipWithError("the crash child did not die by its fault");
            break;
        }
        state.SetIterationTime(double(elapsed) / 1e9);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CrashToReport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
