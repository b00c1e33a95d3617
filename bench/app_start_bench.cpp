// From process start to the first painted main window (targets: under 400 ms with an empty
// profile, under 600 ms with 10,000 stored records and saved settings), each start timed in a
// child process on the offscreen platform; with the child's peak resident memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "engine/Model.h"
#include "platform/foundation/Log.h"
#include "storage/FS.h"
#include "storage/Utils.h"

extern char** environ;

namespace wv {
namespace {

constexpr int kRecords = 10000;

std::filesystem::path freshFolder() {
    char pattern[] = "/tmp/wv-app-start-XXXXXX";
    return std::filesystem::path(mkdtemp(pattern));
}

// A learner's data folder after years of practice, with saved settings.
std::filesystem::path profileWithRecords() {
    static const std::filesystem::path home = [] {
        const auto folder = freshFolder();
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
        LogCapture quiet;
        {
            LessonStats stats(FS::appSupportURL() / "statistics.db", 4);
            auto& connection = stats.db().connection();
            connection.executeUpdate("BEGIN");
            const auto start = std::chrono::system_clock::now() - std::chrono::hours(24 * 700);
            for (int i = 0; i < kRecords; ++i) {
                const std::string typos = i % 3 ? "" : "ta";
                stats.db().insert({{"timestamp", toString(start + std::chrono::minutes(90 * i),
                                                          kStatsDateFormat)},
                                   {"time", 30.0 + i % 40},
                                   {"speed", int64_t(100 + i % 250)},
                                   {"mistakes", int64_t(typos.size() / 2)},
                                   {"mistakesChars", typos},
                                   {"langId", int64_t(0)},
                                   {"diffLvl", int64_t(i % 7)},
                                   {"diffAuto", int64_t(1)},
                                   {"accuracy", int64_t(92 + i % 9)},
                                   {"hasDelete", false},
                                   {"hasNumbers", int64_t(0)},
                                   {"hasCapitals", int64_t(0)},
                                   {"hasPunctuation", int64_t(0)},
                                   {"layoutIdx", int64_t(0)}},
                                  "sessions");
            }
            connection.executeUpdate("COMMIT");
        }
        Model model;
        model.loadConfig();
        model.langRoot().getLang(Language::en).setDifficulty(3);
        model.saveConfig();
        return folder;
    }();
    return home;
}

void startChild(benchmark::State& state, const std::filesystem::path& dataHome,
                const std::string& records, bool freshEachTime) {
    const std::string program =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "app_first_window")
            .string();
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    double peakKilobytes = 0;
    for (auto _ : state) {
        if (freshEachTime) {
            state.PauseTiming();
            setenv("XDG_DATA_HOME", freshFolder().c_str(), 1);
            state.ResumeTiming();
        } else {
            setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        }
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(records.c_str()),
                        nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), &quiet, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start app_first_window");
            break;
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        peakKilobytes += double(usage.ru_maxrss);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("no window was painted, or records were lost");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&quiet);
    state.counters["peak_rss_MB"] =
        benchmark::Counter(peakKilobytes / 1024.0, benchmark::Counter::kAvgIterations);
}

void BM_ColdStartEmptyProfile(benchmark::State& state) { startChild(state, {}, "0", true); }
BENCHMARK(BM_ColdStartEmptyProfile)->Unit(benchmark::kMillisecond)->Iterations(15);

void BM_ColdStartTenThousandRecords(benchmark::State& state) {
    startChild(state, profileWithRecords(), std::to_string(kRecords), false);
}
BENCHMARK(BM_ColdStartTenThousandRecords)->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace
}  // namespace wv

BENCHMARK_MAIN();
