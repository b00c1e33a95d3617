// Statistics of a learner who practised daily for years: loading 100,000 records into the
// store and its tree (target under 300 ms), and storing one finished line (under 5 ms).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "engine/LessonStats.h"
#include "engine/RecordingCloud.h"
#include "languages/LangData.h"
#include "languages/layouts/KeyMapDe.h"
#include "platform/foundation/Log.h"
#include "storage/Utils.h"

namespace wv {
namespace {

constexpr int kRecords = 100000;

std::filesystem::path benchFolder() {
    static const std::filesystem::path folder = [] {
        char pattern[] = "/tmp/wv-stats-bench-XXXXXX";
        return std::filesystem::path(mkdtemp(pattern));
    }();
    return folder;
}

RowDictionary sampleRow(int i, const std::string& timestamp) {
    static const std::string typos[] = {"", "ab", "eräd", "xyzw", "оа", "ñnáa"};
    const std::string& t = typos[i % 6];
    return {{"timestamp", timestamp},
            {"time", 20.0 + i % 40},
            {"speed", int64_t(120 + i % 300)},
            {"mistakes", int64_t(t.size() / 2)},
            {"mistakesChars", t},
            {"langId", int64_t(i % 10)},
            {"diffLvl", int64_t(i % 7)},
            {"diffAuto", int64_t(i % 2)},
            {"accuracy", int64_t(90 + i % 11)},
            {"hasDelete", false},
            {"hasNumbers", int64_t(i % 3 == 0)},
            {"hasCapitals", int64_t(i % 4 == 0)},
            {"hasPunctuation", int64_t(i % 5 == 0)},
            {"layoutIdx", int64_t(i % 3)}};
}

// The file holds one table of kRecords rows, written in one transaction so that making the
// fixture does not take minutes; the rows are what the program itself would insert.
std::filesystem::path generatedDatabase() {
    static const std::filesystem::path path = [] {
        const auto file = benchFolder() / "statistics.db";
        LogCapture quiet;
        LessonStats stats(file, 4);
        auto& connection = stats.db().connection();
        connection.executeUpdate("BEGIN");
        // Timestamps in the program's own text, made without a date formatter so that the
        // fixture takes seconds rather than minutes.
        const time_t start = time(nullptr) - 3 * 365 * 24 * 3600;
        for (int i = 0; i < kRecords; ++i) {
            const time_t when = start + 15 * 60 * i;
            std::tm local{};
            localtime_r(&when, &local);
            char text[32];
            strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
            stats.db().insert(sampleRow(i, text), "sessions");
        }
        connection.executeUpdate("COMMIT");
        return file;
    }();
    return path;
}

void BM_LoadStatistics(benchmark::State& state) {
    const auto file = generatedDatabase();
    LogCapture quiet;
    for (auto _ : state) {
        LessonStats stats(file, 4);
        if (stats.lessonsList().size() != size_t(kRecords)) state.SkipWithError("rows lost");
        benchmark::DoNotOptimize(stats.lessonsTree().langLeafs.size());
    }
}
BENCHMARK(BM_LoadStatistics)->Unit(benchmark::kMillisecond);

// What the end of a line costs: its row built from the language, inserted, read back, listed,
// filed and queued, on a file that already holds years of records.
void BM_StoreOneLine(benchmark::State& state) {
    const auto file = benchFolder() / "store.db";
    std::filesystem::copy_file(generatedDatabase(), file,
                               std::filesystem::copy_options::overwrite_existing);
    LogCapture quiet;
    LessonStats stats(file, 4);
    RecordingCloud cloud;
    stats.cloud = &cloud;
    LangData lang(Language::de, "flagDE", std::make_unique<KeyMapDe>(), 6.26f, nullptr, nullptr);
    lang.setDifficulty(3);
    int i = 0;
    for (auto _ : state) {
        const auto row = LessonsStatsDBTable::rowDictionary(31.5, 180 + i++ % 50, "eräd", 96, lang);
        if (!stats.addLesson(row, true)) state.SkipWithError("insert failed");
    }
}
BENCHMARK(BM_StoreOneLine)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wv

BENCHMARK_MAIN();
