// From process start to the first exercise line ready, for a learner with 10,000 stored
// records and saved settings (target: under 150 ms). The whole start is timed in a child
// process (loading the program included); the in-process case shows the hub's own share.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/Model.h"
#include "platform/foundation/Log.h"
#include "storage/FS.h"
#include "storage/Utils.h"

extern char** environ;

namespace wv {
namespace {

constexpr int kRecords = 10000;

RowDictionary sampleRow(int i, const std::string& timestamp) {
    static const std::string typos[] = {"", "ab", "ta", "oeei", "ns"};
    const std::string& t = typos[i % 5];
    return {{"timestamp", timestamp},
            {"time", 30.0 + i % 40},
            {"speed", int64_t(100 + i % 250)},
            {"mistakes", int64_t(t.size() / 2)},
            {"mistakesChars", t},
            {"langId", int64_t(i % 3 == 0 ? 3 : 0)},
            {"diffLvl", int64_t(i % 7)},
            {"diffAuto", int64_t(1)},
            {"accuracy", int64_t(92 + i % 9)},
            {"hasDelete", false},
            {"hasNumbers", int64_t(i % 3 == 0)},
            {"hasCapitals", int64_t(i % 4 == 0)},
            {"hasPunctuation", int64_t(i % 5 == 0)},
            {"layoutIdx", int64_t(0)}};
}

// A data folder as a learner's would be after years of practice: the statistics with its
// copy, and settings saved at English lesson 4 with capitals and punctuation on.
std::filesystem::path preparedDataHome() {
    static const std::filesystem::path home = [] {
        char pattern[] = "/tmp/wv-model-bench-XXXXXX";
        std::filesystem::path folder(mkdtemp(pattern));
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
        LogCapture quiet;
        {
            LessonStats stats(FS::appSupportURL() / "statistics.db", 4);
            auto& connection = stats.db().connection();
            connection.executeUpdate("BEGIN");
            const auto start = std::chrono::system_clock::now() - std::chrono::hours(24 * 700);
            for (int i = 0; i < kRecords; ++i) {
                const auto when = start + std::chrono::minutes(90 * i);
                stats.db().insert(sampleRow(i, toString(when, kStatsDateFormat)), "sessions");
            }
            connection.executeUpdate("COMMIT");
        }
        Model model;
        model.loadConfig();
        LangData& en = model.langRoot().getLang(Language::en);
        en.setDifficulty(3);
        en.setCapitalsOn(true);
        en.setPunctuationOn(true);
        model.saveConfig();
        return folder;
    }();
    return home;
}

std::filesystem::path helperProgram() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "model_first_line";
}

void BM_ProcessStartToFirstLine(benchmark::State& state) {
    preparedDataHome();
    const std::string program = helperProgram().string();
    std::string records = std::to_string(kRecords);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        char* argv[] = {const_cast<char*>(program.c_str()), records.data(), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), &quiet, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start model_first_line");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("no line was made, or records were lost");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&quiet);
}
BENCHMARK(BM_ProcessStartToFirstLine)->Unit(benchmark::kMillisecond);

void BM_HubToFirstLine(benchmark::State& state) {
    preparedDataHome();
    LogCapture quiet;
    for (auto _ : state) {
        Model model;
        model.loadConfig();
        LangData& lang = model.langRoot().getLang(model.config().language());
        model.textLine().generateNewLine(lang, model.learningAssist().mistypesFull().get());
        if (model.stats().lessonsList().size() != size_t(kRecords)) {
            state.SkipWithError("records lost");
        }
        benchmark::DoNotOptimize(model.textLine().text().data());
    }
}
BENCHMARK(BM_HubToFirstLine)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wv
