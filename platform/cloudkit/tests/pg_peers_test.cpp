// Two installations in two processes (children made by fork(), each with its own data folder
// and containers) on one server: each saves records and a key-value entry and follows its
// pushes, while the server runs, restarts, or has one of their server processes ended.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "platform/cloudkit/Container.h"
#include "platform/cloudkit/FetchNotificationChangesOperation.h"
#include "platform/cloudkit/KeyValueStore.h"
#include "platform/cloudkit/ModifyRecordsOperation.h"
#include "platform/cloudkit/postgres/PgBackend.h"
#include "platform/cloudkit/testing/PgTestCluster.h"
#include "platform/dispatch/ManualRunLoop.h"

namespace wv::ck {
namespace {

using testing::PgTestCluster;

constexpr const char* kType = "WVLessonStats";
constexpr int kRecordsEach = 6;

bool present(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// One peer's life; its exit status says what went wrong (0: it saved all of its own and
// heard of every one of the other's records through pushes).
int peer(const std::filesystem::path& root, const std::string& name, const std::string& other,
         const std::string& server) {
    ManualRunLoop loop;
    auto pumpUntil = [&](const std::function<bool()>& done, double seconds) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            loop.runUntilIdle();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    };
    CloudConfiguration config;
    config.supportFolder = root / name;
    config.account = "alice";
    config.server = server + " connect_timeout=2";
    config.containerIdentifier = "iCloud.test.container";
    Container container(config);
    KeyValueStore store(container);

    // Pushes lead to fetches from the token; what the other saved is learnt only that way.
    std::set<std::string> heard;
    std::optional<ServerChangeToken> token;
    bool fetching = false, fetchAgain = false;
    std::function<void()> fetch = [&] {
        if (fetching) {
            fetchAgain = true;
            return;
        }
        fetching = true;
        auto op = std::make_shared<FetchNotificationChangesOperation>(token);
        op->setNotificationChangedBlock(
            [&](const QueryNotification& n) { if (n.recordID) heard.insert(n.recordID->recordName()); });
        op->setFetchNotificationChangesCompletionBlock(
            [&](const std::optional<ServerChangeToken>& next, const std::optional<Error>& e) {
                fetching = false;
                if (!e && next) token = next;
                // A failed fetch is tried again at once: the push that asked for it is spent.
                if (e || fetchAgain) {
                    fetchAgain = false;
                    fetch();
                }
            });
        container.addOperation(op);
    };
    container.registerForRemoteNotifications([&](const plist::Dictionary&) { fetch(); });
    std::optional<AccountStatus> status;
    container.accountStatusWithCompletionHandler([&](AccountStatus s, const auto&) { status = s; });
    if (!pumpUntil([&] { return status == AccountStatus::Available; }, 20)) return 10;
    std::ofstream(root / (name + ".ready")) << "ready\n";
    if (!pumpUntil([&] { return present(root / (other + ".ready")); }, 20.0)) return 11;
    // The test says when to save: after it has set up the trouble it wants the saves to meet.
    if (!pumpUntil([&] { return present(root / "go"); }, 60.0)) return 16;

    for (int i = 0; i < kRecordsEach; ++i) {
        Record record(kType, RecordID(name + "-" + std::to_string(i)));
        record.setObject("localID", int64_t(i));
        bool saved = false;
        for (int attempt = 0; attempt < 100 && !saved; ++attempt) {
            auto op = std::make_shared<ModifyRecordsOperation>(std::vector<Record>{record},
                                                               std::vector<RecordID>{});
            std::optional<Error> error;
            bool done = false;
            op->setModifyRecordsCompletionBlock([&](const auto&, const auto&, const auto& e) {
                error = e;
                done = true;
            });
            container.privateCloudDatabase().addOperation(op);
            if (!pumpUntil([&] { return done; }, 30)) return 12;
            // A retry after a lost reply finds the record there: saved all the same.
            saved = !error || (error->code() == ErrorCode::PartialFailure &&
                               error->partialErrors.size() == 1 &&
                               error->partialErrors[0].code() == ErrorCode::ServerRecordChanged);
            if (!saved) pumpUntil([] { return false; }, 0.2);
        }
        if (!saved) return 13;
        pumpUntil([] { return false; }, 0.1);
    }
    store.setObject(plist::Value(name), "peer-" + name);
    store.synchronize();

    auto heardAll = [&] {
        for (int i = 0; i < kRecordsEach; ++i)
            if (!heard.count(other + "-" + std::to_string(i))) return false;
        return true;
    };
    if (!pumpUntil(
            [&] {
                if (!store.objectForKey("peer-" + other)) store.synchronize();
                return heardAll() && store.objectForKey("peer-" + other).has_value();
            },
            40)) {
        return heardAll() ? 14 : 15;
    }
    // Stay a little for the other's last pushes and key values to land on our side too.
    std::ofstream(root / (name + ".done")) << "done\n";
    pumpUntil([&] { return present(root / (other + ".done")); }, 40.0);
    return 0;
}

pid_t spawn(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

int exitStatus(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(PgPeersTest, TwoProcessesEndWithTheSameDataAcrossServerTrouble) {
    enum class Trouble { None, Restart, EndedServerProcess };
    struct Case {
        const char* what;
        Trouble trouble;
    };
    const Case cases[] = {
        {"a steady server", Trouble::None},
        {"a restart midway", Trouble::Restart},
        {"a writer's server process ended while it waits on a lock", Trouble::EndedServerProcess},
    };
    auto cluster = PgTestCluster::makePrivate();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const auto root = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / info->name() /
                          std::to_string(int(c.trouble));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        const std::string server = cluster->freshDatabase();
        const std::string database = server.substr(server.rfind("dbname=") + 7);
        {
            // The account's one subscription, made before the peers start.
            PgBackend setup(server, "iCloud.test.container");
            ASSERT_FALSE(setup
                             .saveSubscription(Caller{"setup", "alice"}, Scope::Private,
                                               Subscription(kType, Predicate::withValue(true), 3))
                             .error);
        }
        const pid_t a = spawn([&] { return peer(root, "A", "B", server); });
        const pid_t b = spawn([&] { return peer(root, "B", "A", server); });
        // The trouble comes once both are registered and about to save.
        for (int i = 0; i < 800 && !(present(root / "A.ready") && present(root / "B.ready")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        const auto go = [&] { std::ofstream(root / "go") << "go\n"; };
        if (c.trouble != Trouble::EndedServerProcess) go();
        if (c.trouble == Trouble::Restart) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            ASSERT_TRUE(cluster->pgctl("stop -m immediate"));
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            ASSERT_TRUE(cluster->pgctl("start"));
        }
        if (c.trouble == Trouble::EndedServerProcess) {
            // Hold the writers' line; once it is held the peers save, and the first of their
            // server processes found waiting in it is ended.
            std::string ended;
            std::thread holder([&] {
                ended = cluster->psql(
                    database,
                    "BEGIN; SELECT value FROM counter WHERE id = 1 FOR UPDATE;"
                    " DO $$ BEGIN FOR i IN 1..600 LOOP PERFORM pg_stat_clear_snapshot();"
                    " EXIT WHEN EXISTS (SELECT 1 FROM pg_stat_activity"
                    " WHERE datname = current_database() AND wait_event_type = 'Lock'"
                    " AND application_name = 'wovanu-typing'); PERFORM pg_sleep(0.05);"
                    " END LOOP; END $$;"
                    " SELECT 'ended=' || count(pg_terminate_backend(pid))"
                    " FROM pg_stat_activity WHERE datname = current_database()"
                    " AND wait_event_type = 'Lock' AND application_name = 'wovanu-typing';"
                    " COMMIT");
            });
            bool held = false;
            for (int i = 0; i < 600 && !held; ++i) {
                held = cluster->psql(database,
                                     "SELECT count(*) FROM pg_locks l JOIN pg_class c"
                                     " ON c.oid = l.relation WHERE c.relname = 'counter'"
                                     " AND l.mode = 'RowShareLock' AND l.granted") != "0\n";
                if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            EXPECT_TRUE(held) << "the test never got the writers' line";
            go();
            holder.join();
            EXPECT_NE(ended.find("ended="), std::string::npos) << ended;
            EXPECT_EQ(ended.find("ended=0"), std::string::npos) << ended;
        }
        EXPECT_EQ(exitStatus(a), 0);
        EXPECT_EQ(exitStatus(b), 0);
        EXPECT_EQ(cluster->psql(database, "SELECT count(*), count(DISTINCT name) FROM records"),
                  std::to_string(2 * kRecordsEach) + "|" + std::to_string(2 * kRecordsEach) + "\n");
        EXPECT_EQ(
            cluster->psql(database, "SELECT string_agg(key, ',' ORDER BY key) FROM keyvalues"),
            "peer-A,peer-B\n");
    }
}

}  // namespace
}  // namespace wv::ck
