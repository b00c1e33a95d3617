// Synchronisation of lesson records on each backend (the folder container, and a server: a
// throwaway PostgreSQL cluster this program starts and stops, reached over its unix socket),
// in one process with the main queue pumped here. Targets: the first synchronisation of
// 10,000 records up (an empty account, READY to "WVCloud synchronization complete") and down
// (a fresh installation, READY to the last row stored), each under 3 s on the folder and 4 s
// on the server; a start with 10,000 linked records finds nothing to push in under 100 ms;
// one installation's commit to the other's stored row under 400 ms median on the folder and
// 100 ms on the server.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "cloud/WVCloud.h"
#include "engine/LessonStats.h"
#include "platform/cloudkit/Container.h"
#include "platform/cloudkit/testing/PgTestCluster.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

constexpr int kRecords = 10000;

// The run's temporary folder, removed when the program ends (each run leaves tens of
// megabytes otherwise).
struct ScratchRoot {
    ScratchRoot() {
        char pattern[] = "/tmp/wv-cloud-sync-bench-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~ScratchRoot() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

std::filesystem::path freshFolder(const std::string& name) {
    static const ScratchRoot root;
    static int counter = 0;
    auto folder = root.path / (name + std::to_string(++counter));
    std::filesystem::create_directories(folder);
    return folder;
}

enum class Store { Folder, Server };

ck::testing::PgTestCluster& cluster() {
    static std::unique_ptr<ck::testing::PgTestCluster> c =
        ck::testing::PgTestCluster::makePrivate();
    return *c;
}

// A fresh, empty cloud of the kind: a folder, or a new database of the cluster.
std::string freshCloud(Store store) {
    return store == Store::Folder ? freshFolder("cloud").string() : cluster().freshDatabase();
}

bool pumpUntil(const std::function<bool()>& done, double seconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        MainQueue::shared().runDue();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return done();
}

RowDictionary row(int i) {
    const int second = i % 60, minute = (i / 60) % 60, hour = (i / 3600) % 24;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "2026-01-%02d %02d:%02d:%02d", 1 + i / 86400, hour, minute,
                  second);
    return {{"timestamp", std::string(stamp)},
            {"time", 12.5},
            {"speed", int64_t(200 + i % 50)},
            {"mistakes", int64_t(1)},
            {"mistakesChars", std::string("ab")},
            {"langId", int64_t(i % 10)},
            {"diffLvl", int64_t(2)},
            {"diffAuto", int64_t(1)},
            {"accuracy", int64_t(97)},
            {"hasDelete", int64_t(0)},
            {"hasNumbers", int64_t(1)},
            {"hasCapitals", int64_t(0)},
            {"hasPunctuation", int64_t(1)},
            {"layoutIdx", int64_t(0)}};
}

// One installation over its own folder and a shared cloud folder.
struct Peer {
    Peer(Store store, const std::string& cloud, const std::filesystem::path& folder) {
        std::filesystem::create_directories(folder);
        stats = std::make_unique<LessonStats>(folder / "statistics.db", 4);
        defaults = std::make_unique<UserDefaults>("com.wovanu.typing", folder / "defaults.plist");
        ck::CloudConfiguration config;
        config.supportFolder = folder;
        if (store == Store::Folder) {
            config.folder = cloud;
        } else {
            config.server = cloud;
        }
        config.account = "bench";
        container = std::make_unique<ck::Container>(config);
    }
    void start() {
        cloud = std::make_unique<WVCloud>(*container, *defaults, *stats);
        stats->cloud = cloud.get();
    }
    ~Peer() {
        // The operations it started call back into it: it goes only when none runs (a
        // fetch of many notifications may outlast the chain's end).
        if (cloud) {
            pumpUntil([this] {
                return !cloud->changeFetcher.isBusy && !cloud->fetcher.isBusy &&
                       !cloud->pusher.isBusy();
            });
        }
        pumpUntil([] { return false; }, 0.05);
        cloud.reset();
        container.reset();
    }
    std::unique_ptr<LessonStats> stats;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ck::Container> container;
    std::unique_ptr<WVCloud> cloud;
};

// Counts the lines that say the chain ended, without printing the chain's 10,000 lines.
struct Lines {
    Lines() {
        previous = Log::setSink([this](LogChannel, std::string_view line) {
            if (line == "WVCloud synchronization complete") ++complete;
        });
    }
    ~Lines() { Log::setSink(previous); }
    int complete = 0;
    Log::Sink previous;
};

void fill(LessonStats& stats) {
    std::vector<RowDictionary> rows;
    for (int i = 0; i < kRecords; ++i) rows.push_back(row(i));
    stats.addLessonsTogether(rows, {});
}

void BM_FirstSyncUp(benchmark::State& state, Store store) {
    Lines lines;
    for (auto _ : state) {
        state.PauseTiming();
        const auto cloud = freshCloud(store);
        Peer a(store, cloud, freshFolder("A"));
        fill(*a.stats);
        lines.complete = 0;
        state.ResumeTiming();
        a.start();
        if (!pumpUntil([&] { return lines.complete == 1; })) state.SkipWithError("no sync");
    }
}
BENCHMARK_CAPTURE(BM_FirstSyncUp, Folder, Store::Folder)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_FirstSyncUp, Server, Store::Server)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

void BM_FirstSyncDown(benchmark::State& state, Store store) {
    Lines lines;
    const auto cloud = freshCloud(store);
    {
        Peer a(store, cloud, freshFolder("A"));
        fill(*a.stats);
        a.start();
        if (!pumpUntil([&] { return lines.complete == 1; })) {
            state.SkipWithError("the records never went up");
            return;
        }
    }
    std::unique_ptr<Peer> b;
    for (auto _ : state) {
        state.PauseTiming();
        // The last one finishes its chain first.
        if (b) pumpUntil([&] { return lines.complete == 2; });
        b.reset();
        lines.complete = 1;
        b = std::make_unique<Peer>(store, cloud, freshFolder("B"));
        state.ResumeTiming();
        b->start();
        if (!pumpUntil([&] { return b->stats->lessonsList().size() == size_t(kRecords); }))
            state.SkipWithError("not everything arrived");
    }
    pumpUntil([&] { return lines.complete == 2; });
}
BENCHMARK_CAPTURE(BM_FirstSyncDown, Folder, Store::Folder)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_FirstSyncDown, Server, Store::Server)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// The push step of a start where every record is linked already.
void BM_NothingToPushOfTenThousandLinked(benchmark::State& state, Store store) {
    Lines lines;
    const auto cloud = freshCloud(store);
    Peer a(store, cloud, freshFolder("A"));
    fill(*a.stats);
    a.start();
    if (!pumpUntil([&] { return lines.complete == 1; })) {
        state.SkipWithError("the records never went up");
        return;
    }
    for (auto _ : state) {
        bool done = false;
        a.cloud->pusher.pushLessons(a.stats->lessonsList(), [&](bool) { done = true; });
        pumpUntil([&] { return done; });
        if (a.cloud->pusher.pushedRecordsNumbers != 0) state.SkipWithError("something was pushed");
    }
}
BENCHMARK_CAPTURE(BM_NothingToPushOfTenThousandLinked, Folder, Store::Folder)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_NothingToPushOfTenThousandLinked, Server, Store::Server)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A's push and commit to B's stored row, B told by its container's push (the folder's poll,
// the server's notification).
void BM_CommitToStoredRow(benchmark::State& state, Store store) {
    Lines lines;
    const auto cloud = freshCloud(store);
    Peer a(store, cloud, freshFolder("A"));
    Peer b(store, cloud, freshFolder("B"));
    a.start();
    b.start();
    if (!pumpUntil([&] { return lines.complete == 2; })) {
        state.SkipWithError("no first synchronisation");
        return;
    }
    b.container->registerForRemoteNotifications(
        [&](const plist::Dictionary&) { b.cloud->fetchChanges(); });
    pumpUntil([] { return false; }, 0.5);
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        a.stats->addLesson(row(i++), false);
        const size_t before = b.stats->lessonsList().size();
        state.ResumeTiming();
        // Timed from the push, so the measure includes A's commit and never misses a row
        // that arrives before A hears the confirmation.
        a.cloud->pusher.pushLessons({a.stats->lessonsList().back()}, [](bool) {});
        if (!pumpUntil([&] { return b.stats->lessonsList().size() > before; }, 5))
            state.SkipWithError("never arrived");
    }
}
BENCHMARK_CAPTURE(BM_CommitToStoredRow, Folder, Store::Folder)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_CommitToStoredRow, Server, Store::Server)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

}  // namespace
}  // namespace wv

BENCHMARK_MAIN();
