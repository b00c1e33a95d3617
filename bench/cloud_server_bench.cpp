// The cloud stand-in's server backend on a throwaway cluster over its unix socket: 25
// modifies of 400 lesson records with notifications (target under 1.5 s in all), paging
// through 10,000 records (under 500 ms), and one installation's commit to the other's push
// handler (under 50 ms median, 200 ms at the 99th percentile). psql loading the same rows with
// \copy in the same 25 transactions runs in the same process for scale: "ratio" is ours over
// psql's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "platform/cloudkit/Container.h"
#include "platform/cloudkit/ModifyRecordsOperation.h"
#include "platform/cloudkit/postgres/PgBackend.h"
#include "platform/cloudkit/testing/PgTestCluster.h"
#include "platform/dispatch/SerialQueue.h"

namespace wv::ck {
namespace {

using testing::PgTestCluster;

constexpr const char* kContainer = "iCloud.com.wovanu.typing";
constexpr const char* kType = "WVLessonStats";
const Caller kA{"bench-A", "alice"};
const Caller kB{"bench-B", "alice"};

PgTestCluster& cluster() {
    static std::unique_ptr<PgTestCluster> c = PgTestCluster::makePrivate();
    return *c;
}

Record lesson(int64_t i) {
    Record r(kType);
    r.setObject("localID", i);
    r.setObject("localTime", std::string("2024-05-01 10:00:00"));
    r.setObject("time", 31.5);
    r.setObject("speed", int64_t(250));
    r.setObject("mistakes", int64_t(2));
    r.setObject("langId", int64_t(3));
    r.setObject("diffLvl", int64_t(4));
    r.setObject("diffAuto", int64_t(1));
    r.setObject("accuracy", int64_t(97));
    r.setObject("hasDelete", int64_t(0));
    r.setObject("hasNumbers", int64_t(0));
    r.setObject("hasCapitals", int64_t(1));
    r.setObject("hasPunctuation", int64_t(0));
    r.setObject("mistakesChars", std::string("eräd"));
    r.setObject("layoutIdx", int64_t(0));
    return r;
}

std::unique_ptr<PgBackend> subscribedStore(const std::string& store) {
    auto backend = std::make_unique<PgBackend>(store, kContainer);
    if (backend->open()) std::abort();
    if (backend
            ->saveSubscription(kA, Scope::Private,
                               Subscription(kType, Predicate::withValue(true), 3))
            .error)
        std::abort();
    return backend;
}

void fill(Backend& backend, int records) {
    for (int i = 0; i < records; i += 400) {
        std::vector<Record> batch;
        for (int j = i; j < std::min(records, i + 400); ++j) batch.push_back(lesson(j));
        if (backend.modifyRecords(kA, Scope::Private, batch, {}).error) std::abort();
    }
}

// The same 10,000 records as rows of records, fields and notifications, in 25 transactions
// of \copy by psql.
double psqlSeconds() {
    char pattern[] = "/tmp/wv-cloud-server-bench-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);
    const std::string store = cluster().freshDatabase();
    std::ofstream script(folder / "load.sql");
    script << "CREATE TABLE records(id bigserial PRIMARY KEY, scope text, zone text, name text,"
              " type text, change_tag text, created_seq bigint, modified_seq bigint,"
              " creator text, UNIQUE(scope, zone, name));\n"
              "CREATE TABLE fields(record bigint, position integer, key text, type text,"
              " value text, PRIMARY KEY(record, key));\n"
              "CREATE TABLE notifications(id bigserial PRIMARY KEY, account text, seq bigint,"
              " subscription_id text, zone text, record_name text, reason integer,"
              " originator text);\n";
    int64_t id = 0;
    for (int t = 0; t < 25; ++t) {
        const auto base = folder / std::to_string(t);
        std::ofstream records(base.string() + ".records"), fields(base.string() + ".fields"),
            notes(base.string() + ".notes");
        for (int i = 0; i < 400; ++i) {
            const Record r = lesson(t * 400 + i);
            const std::string name = r.recordID().recordName();
            ++id;
            records << id << "\tprivate:alice\t_defaultZone\t" << name << "\tWVLessonStats\t1\t"
                    << t << "\t" << t << "\tbench-A\n";
            int position = 0;
            for (const auto& [key, value] : r.fields()) {
                fields << id << "\t" << position++ << "\t" << key << "\t" << fieldTypeName(value)
                       << "\t";
                if (auto* v = std::get_if<int64_t>(&value)) fields << *v;
                if (auto* v = std::get_if<double>(&value)) fields << *v;
                if (auto* v = std::get_if<std::string>(&value)) fields << *v;
                fields << "\n";
            }
            notes << id << "\talice\t" << t << "\ts\t_defaultZone\t" << name << "\t1\tbench-A\n";
        }
        script << "BEGIN;\n\\copy records FROM '" << base.string() << ".records'\n"
               << "\\copy fields FROM '" << base.string() << ".fields'\n"
               << "\\copy notifications FROM '" << base.string() << ".notes'\nCOMMIT;\n";
    }
    script.close();
    const auto start = std::chrono::steady_clock::now();
    const std::string command = "psql -X -q -v ON_ERROR_STOP=1 '" + store + "' -f '" +
                                (folder / "load.sql").string() + "' > /dev/null";
    const int status = std::system(command.c_str());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove_all(folder);
    return status == 0 ? seconds : 0;
}

void BM_TwentyFiveModifiesOf400(benchmark::State& state) {
    const double reference = psqlSeconds();
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto backend = subscribedStore(cluster().freshDatabase());
        std::vector<std::vector<Record>> batches(25);
        for (int t = 0; t < 25; ++t) {
            for (int i = 0; i < 400; ++i) batches[t].push_back(lesson(t * 400 + i));
        }
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        for (const auto& batch : batches) {
            if (backend->modifyRecords(kA, Scope::Private, batch, {}).error) std::abort();
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++runs;
    }
    state.counters["ratio"] = reference > 0 ? (total / runs) / reference : 0;
    state.counters["psql_ms"] = reference * 1000;
}
BENCHMARK(BM_TwentyFiveModifiesOf400)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PagingTenThousandRecords(benchmark::State& state) {
    auto backend = subscribedStore(cluster().freshDatabase());
    fill(*backend, 10000);
    for (auto _ : state) {
        size_t seen = 0;
        std::optional<QueryCursor> cursor;
        do {
            QueryPage page = backend->query(
                kB, Scope::Private,
                cursor ? std::nullopt : std::optional(Query(kType, Predicate::withValue(true))),
                cursor, 0);
            seen += page.records.size();
            cursor = page.cursor;
        } while (cursor);
        if (seen != 10000) std::abort();
    }
}
BENCHMARK(BM_PagingTenThousandRecords)->Unit(benchmark::kMillisecond)->Iterations(5);

// From A's commit (its reply on A's worker) to B's push handler: the server's announcement
// wakes B's poll.
void BM_CommitToOthersPush(benchmark::State& state) {
    char pattern[] = "/tmp/wv-cloud-server-push-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);
    const std::string store = cluster().freshDatabase();
    subscribedStore(store);
    SerialQueue callbacks("bench-callbacks");
    CallbackQueue queue = [&](std::function<void()> block) { callbacks.async(std::move(block)); };
    auto config = [&](const std::string& name) {
        CloudConfiguration c;
        c.supportFolder = folder / name;
        c.server = store;
        c.account = "alice";
        return c;
    };
    Container a(config("A"), queue);
    Container b(config("B"), queue);
    std::mutex mutex;
    std::condition_variable pushed;
    std::chrono::steady_clock::time_point pushTime;
    int pushes = 0;
    b.registerForRemoteNotifications([&](const plist::Dictionary&) {
        std::lock_guard lock(mutex);
        pushTime = std::chrono::steady_clock::now();
        ++pushes;
        pushed.notify_all();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<double> latencies;
    std::mt19937 random(7);
    for (auto _ : state) {
        // A commit lands anywhere within the poll's rhythm, not just after the last push.
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 250));
        int before;
        {
            std::lock_guard lock(mutex);
            before = pushes;
        }
        std::optional<std::chrono::steady_clock::time_point> committed;
        auto op = std::make_shared<ModifyRecordsOperation>(std::vector<Record>{lesson(1)},
                                                           std::vector<RecordID>{});
        op->setModifyRecordsCompletionBlock([&](const auto&, const auto&, const auto&) {
            std::lock_guard lock(mutex);
            committed = std::chrono::steady_clock::now();
            pushed.notify_all();
        });
        a.privateCloudDatabase().addOperation(op);
        std::unique_lock lock(mutex);
        // The announcement can wake B before A's reply has come back through A's worker: the
        // push then counts as immediate.
        pushed.wait_for(lock, std::chrono::seconds(5),
                        [&] { return pushes > before && committed.has_value(); });
        if (pushes == before || !committed) std::abort();
        const double seconds = std::chrono::duration<double>(pushTime - *committed).count();
        latencies.push_back(std::max(0.0, seconds));
        state.SetIterationTime(std::max(1e-6, seconds));
    }
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["median_ms"] = latencies[latencies.size() / 2] * 1000;
        state.counters["p99_ms"] =
            latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)] * 1000;
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CommitToOthersPush)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

}  // namespace
}  // namespace wv::ck

BENCHMARK_MAIN();
