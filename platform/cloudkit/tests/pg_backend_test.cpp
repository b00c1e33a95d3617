// What only the server backend has: a database it must refuse, a server that goes away or
// never answers, replies lost after a commit, and writers that queue for their numbers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/cloudkit/ContainerControl.h"
#include "platform/cloudkit/postgres/PgBackend.h"
#include "platform/cloudkit/testing/PgTestCluster.h"

namespace wv::ck {
namespace {

using testing::PgTestCluster;

const Caller kA{"install-A", "alice"};
const Caller kB{"install-B", "alice"};
const Caller kReader{"install-R", "alice"};
constexpr const char* kContainer = "iCloud.test.container";
constexpr const char* kType = "WVLessonStats";

std::vector<Record> lessons(int count) {
    std::vector<Record> records;
    for (int i = 0; i < count; ++i) {
        Record record(kType);
        record.setObject("localID", int64_t(i));
        record.setObject("time", 1.5 * i);
        records.push_back(record);
    }
    return records;
}

std::string databaseOf(const std::string& connectionString) {
    return connectionString.substr(connectionString.rfind("dbname=") + 7);
}

// Every relation of the database with its kind, and every row of our meta table when there
// is one: what a refusal must leave as it was.
std::string snapshot(const std::string& connectionString) {
    auto& cluster = PgTestCluster::shared();
    const std::string db = databaseOf(connectionString);
    std::string text = cluster.psql(
        db,
        "SELECT string_agg(c.relname || ':' || c.relkind, ',' ORDER BY c.relname) FROM pg_class c"
        " JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'public'");
    if (text.find("meta:r") != std::string::npos)
        text +=
            cluster.psql(db, "SELECT string_agg(key || '=' || value, ',' ORDER BY key) FROM meta");
    return text;
}

TEST(PgBackendTest, DatabasesThatAreNotOursAreRefusedAndLeftAlone) {
    struct Case {
        const char* what;
        const char* sql;  // run on a database our backend has set up, unless `fresh`
        bool fresh;
        const char* message;
    };
    const Case cases[] = {
        {"another program's tables", "CREATE TABLE invoices(id integer)", true,
         "tables of another program (invoices)"},
        {"ours beside a stranger", "CREATE TABLE invoices(id integer)", false,
         "tables of another program (invoices)"},
        {"some of ours missing", "DROP TABLE keyvalues", false, "lacks the table \"keyvalues\""},
        {"a newer schema", "UPDATE meta SET value = '2' WHERE key = 'schema'", false,
         "schema version 2 is newer than this program's 1"},
        {"another container", "UPDATE meta SET value = 'iCloud.other' WHERE key = 'container'",
         false, "holds container \"iCloud.other\""},
    };
    auto& cluster = PgTestCluster::shared();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string store = cluster.freshDatabase();
        if (!c.fresh) {
            PgBackend setup(store, kContainer);
            ASSERT_FALSE(setup.open());
        }
        cluster.psql(databaseOf(store), c.sql);
        const std::string before = snapshot(store);

        PgBackend backend(store, kContainer);
        const auto error = backend.open();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), ErrorCode::BadContainer);
        EXPECT_NE(error->detail().find(c.message), std::string::npos) << error->detail();
        // Every later call fails the same way, and nothing was created or changed.
        const ModifyResult modify = backend.modifyRecords(kA, Scope::Private, lessons(1), {});
        ASSERT_TRUE(modify.error);
        EXPECT_EQ(modify.error->code(), ErrorCode::BadContainer);
        EXPECT_EQ(snapshot(store), before);
    }
}

TEST(PgBackendTest, AStringThatDoesNotParseIsAClearErrorAndShowsNoPassword) {
    PgBackend backend("host=db password=hunter2 'unterminated", kContainer);
    const auto error = backend.open();
    ASSERT_TRUE(error);
    EXPECT_NE(error->detail().find("does not parse"), std::string::npos) << error->detail();
    EXPECT_EQ(error->detail().find("hunter2"), std::string::npos);
    const AccountResult account = backend.accountStatus(kA);
    EXPECT_EQ(account.status, AccountStatus::CouldNotDetermine);
    EXPECT_EQ(backend.location().find("hunter2"), std::string::npos);

    PgBackend good("host=db.example port=6543 dbname=wv user=me password=hunter2", kContainer);
    EXPECT_EQ(good.location(), "server host=db.example port=6543 dbname=wv user=me");
}

// A listener on 127.0.0.1 that accepts connections and never says a word.
class SilentListener {
  public:
    SilentListener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, 8);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() { close(fd_); }
    int port() const { return port_; }

  private:
    int fd_;
    int port_;
};

TEST(PgBackendTest, AServerThatIsAwayOrSilentIsANetworkErrorNotAHang) {
    SilentListener silent;
    const std::string nowhere = "/tmp/wvpg-nowhere-" + std::to_string(getpid());
    struct Case {
        const char* what;
        std::string connection;
    };
    const Case cases[] = {
        {"no server on the socket", "host=" + nowhere + " port=5 dbname=x connect_timeout=2"},
        {"a listener that never answers",
         "host=127.0.0.1 port=" + std::to_string(silent.port()) + " dbname=x connect_timeout=2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PgBackend backend(c.connection, kContainer);
        // Not a refusal: the server may answer later.
        EXPECT_FALSE(backend.open());
        const auto started = std::chrono::steady_clock::now();
        const AccountResult account = backend.accountStatus(kA);
        EXPECT_EQ(account.status, AccountStatus::CouldNotDetermine);
        ASSERT_TRUE(account.error);
        EXPECT_EQ(account.error->code(), ErrorCode::NetworkUnavailable);
        const ModifyResult modify = backend.modifyRecords(kA, Scope::Private, lessons(1), {});
        ASSERT_TRUE(modify.error);
        EXPECT_EQ(modify.error->code(), ErrorCode::NetworkUnavailable);
        // Bounded by the connect timeout of each call, far from a hang.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    }
}

TEST(PgBackendTest, AServerRestartFailsOneCallAndTheNextReconnects) {
    auto cluster = PgTestCluster::makePrivate();
    const std::string store = cluster->freshDatabase();
    PgBackend backend(store, kContainer);
    ASSERT_FALSE(backend.open());
    ASSERT_FALSE(backend.modifyRecords(kA, Scope::Private, lessons(3), {}).error);

    ASSERT_TRUE(cluster->pgctl("stop -m immediate"));
    const ModifyResult during = backend.modifyRecords(kA, Scope::Private, lessons(2), {});
    ASSERT_TRUE(during.error);
    EXPECT_TRUE(during.error->code() == ErrorCode::NetworkFailure ||
                during.error->code() == ErrorCode::NetworkUnavailable)
        << during.error->description();

    ASSERT_TRUE(cluster->pgctl("start"));
    EXPECT_FALSE(backend.modifyRecords(kA, Scope::Private, lessons(2), {}).error);
    EXPECT_EQ(cluster->psql(databaseOf(store), "SELECT count(*) FROM records"), "5\n");
}

// Forwards 127.0.0.1 connections to the cluster's port; armed, it drops a connection right
// after the server answers a COMMIT, so the commit is done but its reply never arrives.
class CommitDroppingProxy {
  public:
    explicit CommitDroppingProxy(int target) : target_(target) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 8);
        socklen_t length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~CommitDroppingProxy() {
        stop_ = true;
        thread_.join();
        close(listener_);
    }
    int port() const { return port_; }
    void arm() { armed_ = true; }
    bool dropped() const { return dropped_; }

  private:
    void serve() {
        std::vector<std::thread> pipes;
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int client = accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            const int server = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<uint16_t>(target_));
            if (connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                close(client);
                close(server);
                continue;
            }
            pipes.emplace_back([this, client, server] { pipe(client, server); });
        }
        for (auto& t : pipes) t.join();
    }

    void pipe(int client, int server) {
        bool commitSent = false;
        char buffer[65536];
        while (!stop_) {
            pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (::poll(p, 2, 50) <= 0) continue;
            if (p[0].revents) {
                const ssize_t n = read(client, buffer, sizeof buffer);
                if (n <= 0) break;
                if (armed_ && std::string(buffer, size_t(n)).find("COMMIT") != std::string::npos)
                    commitSent = true;
                if (write(server, buffer, size_t(n)) != n) break;
            }
            if (p[1].revents) {
                const ssize_t n = read(server, buffer, sizeof buffer);
                if (n <= 0) break;
                if (commitSent) {
                    armed_ = false;
                    dropped_ = true;
                    break;
                }
                if (write(client, buffer, size_t(n)) != n) break;
            }
        }
        close(client);
        close(server);
    }

    int target_;
    int listener_;
    int port_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> armed_{false};
    std::atomic<bool> dropped_{false};
    std::thread thread_;
};

TEST(PgBackendTest, ARetryAfterALostCommitReplySavesNothingTwice) {
    auto& cluster = PgTestCluster::shared();
    const std::string store = cluster.freshDatabase();
    CommitDroppingProxy proxy(cluster.port());
    const std::string viaProxy = "host=127.0.0.1 port=" + std::to_string(proxy.port()) +
                                 " user=wovanu sslmode=disable dbname=" + databaseOf(store);
    PgBackend backend(viaProxy, kContainer);
    ASSERT_FALSE(backend.open());
    const auto records = lessons(4);

    proxy.arm();
    const ModifyResult lost = backend.modifyRecords(kA, Scope::Private, records, {});
    ASSERT_TRUE(proxy.dropped());
    ASSERT_TRUE(lost.error);
    EXPECT_EQ(lost.error->code(), ErrorCode::NetworkFailure) << lost.error->description();

    const ModifyResult retry = backend.modifyRecords(kA, Scope::Private, records, {});
    ASSERT_TRUE(retry.error);
    ASSERT_EQ(retry.error->partialErrors.size(), records.size());
    for (const Error& item : retry.error->partialErrors) {
        EXPECT_EQ(item.code(), ErrorCode::ServerRecordChanged);
        ASSERT_TRUE(item.serverRecord);
    }
    EXPECT_TRUE(retry.saved.empty());
    EXPECT_EQ(cluster.psql(databaseOf(store), "SELECT count(*) FROM records"), "4\n");
}

// A raw connection of the test's own, to hold locks as another writer would.
class Session {
  public:
    explicit Session(const std::string& connectionString)
        : conn_(PQconnectdb(connectionString.c_str())) {}
    ~Session() { PQfinish(conn_); }
    bool run(const std::string& sql) {
        PGresult* r = PQexec(conn_, sql.c_str());
        const bool ok =
            PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
        PQclear(r);
        return ok;
    }

  private:
    PGconn* conn_;
};

TEST(PgBackendTest, AReadersTokenNeverPassesAWriterStillInLine) {
    auto& cluster = PgTestCluster::shared();
    const std::string store = cluster.freshDatabase();
    PgBackend a(store, kContainer), b(store, kContainer), reader(store, kContainer);
    ASSERT_FALSE(a.open());
    ASSERT_FALSE(b.open());
    ASSERT_FALSE(reader.open());
    ASSERT_FALSE(
        a.saveSubscription(kA, Scope::Private, Subscription(kType, Predicate::withValue(true), 3))
            .error);
    ASSERT_FALSE(a.modifyRecords(kA, Scope::Private, lessons(1), {}).error);
    NotificationPage first = reader.fetchNotificationChanges(kReader, std::nullopt, 0);
    ASSERT_EQ(first.notifications.size(), 1u);

    // The test is a writer that has taken its place in line and not yet committed.
    Session writer(store);
    ASSERT_TRUE(writer.run("BEGIN"));
    ASSERT_TRUE(writer.run("SELECT value FROM counter WHERE id = 1 FOR UPDATE"));
    std::optional<ModifyResult> later;
    std::thread behind([&] { later = b.modifyRecords(kB, Scope::Private, lessons(2), {}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    NotificationPage during = reader.fetchNotificationChanges(kReader, first.token, 0);
    ASSERT_FALSE(during.error) << during.error->description();
    EXPECT_TRUE(during.notifications.empty()) << "nothing commits while the line is held";
    ASSERT_TRUE(writer.run("UPDATE counter SET value = value + 1 WHERE id = 1"));
    ASSERT_TRUE(writer.run("COMMIT"));
    behind.join();
    ASSERT_TRUE(later && !later->error);

    NotificationPage after = reader.fetchNotificationChanges(kReader, during.token, 0);
    EXPECT_EQ(after.notifications.size(), 2u) << "the token passed nothing";
}

TEST(PgBackendTest, AWriterWhoseServerProcessIsEndedFailsAndTheNextCallSaves) {
    auto& cluster = PgTestCluster::shared();
    const std::string store = cluster.freshDatabase();
    const std::string db = databaseOf(store);
    PgBackend backend(store, kContainer);
    ASSERT_FALSE(backend.open());

    Session holder(store);
    ASSERT_TRUE(holder.run("BEGIN"));
    ASSERT_TRUE(holder.run("SELECT value FROM counter WHERE id = 1 FOR UPDATE"));
    std::optional<ModifyResult> waiting;
    const auto records = lessons(3);
    std::thread writer([&] { waiting = backend.modifyRecords(kA, Scope::Private, records, {}); });
    std::string ended;
    for (int i = 0; i < 200 && ended != "t\n"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ended = cluster.psql(db,
                             "SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                             " WHERE datname = current_database() AND wait_event_type = 'Lock'"
                             " AND application_name = 'wovanu-typing'");
    }
    writer.join();
    ASSERT_EQ(ended, "t\n");
    ASSERT_TRUE(waiting && waiting->error);
    EXPECT_EQ(waiting->error->code(), ErrorCode::NetworkFailure) << waiting->error->description();
    ASSERT_TRUE(holder.run("ROLLBACK"));

    const ModifyResult again = backend.modifyRecords(kA, Scope::Private, records, {});
    EXPECT_FALSE(again.error);
    EXPECT_EQ(cluster.psql(db, "SELECT count(*) FROM records"), "3\n");
}

TEST(PgBackendTest, StoredRowsOfTheWrongKindFailTheirRecordOnly) {
    auto& cluster = PgTestCluster::shared();
    const std::string store = cluster.freshDatabase();
    PgBackend backend(store, kContainer);
    ASSERT_FALSE(backend.open());
    const auto records = lessons(3);
    ASSERT_FALSE(backend.modifyRecords(kA, Scope::Private, records, {}).error);
    const std::string db = databaseOf(store);
    struct Case {
        const char* what;
        const char* sql;
    };
    const Case cases[] = {
        {"a number that is not", "UPDATE fields SET value = 'twelve' WHERE key = 'localID'"},
        {"a missing value", "UPDATE fields SET value = NULL WHERE key = 'localID'"},
        {"an unknown type", "UPDATE fields SET type = 'blob' WHERE key = 'localID'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = records[1].recordID().recordName();
        cluster.psql(db, "UPDATE fields SET type = 'int64', value = '1' WHERE key = 'localID'");
        cluster.psql(db, std::string(c.sql) +
                             " AND record = (SELECT id FROM records WHERE name = '" + name + "')");
        FetchResult fetched = backend.fetchRecords(
            kA, Scope::Private,
            {records[0].recordID(), records[1].recordID(), records[2].recordID()});
        ASSERT_TRUE(fetched.error);
        EXPECT_EQ(fetched.error->code(), ErrorCode::PartialFailure);
        ASSERT_EQ(fetched.items.size(), 3u);
        EXPECT_TRUE(fetched.items[0].record);
        EXPECT_FALSE(fetched.items[1].record);
        ASSERT_TRUE(fetched.items[1].error);
        EXPECT_EQ(fetched.items[1].error->recordID, records[1].recordID());
        EXPECT_TRUE(fetched.items[2].record);
        // The backend goes on serving.
        EXPECT_FALSE(backend.accountStatus(kA).error);
    }
}

TEST(PgBackendTest, OneConnectionOverTcpWorksLikeTheSocket) {
    auto& cluster = PgTestCluster::shared();
    const std::string store = cluster.freshDatabase();
    PgBackend overTcp(cluster.overTcp(store) + " sslmode=disable", kContainer);
    ASSERT_FALSE(overTcp.open());
    const ModifyResult saved = overTcp.modifyRecords(kA, Scope::Private, lessons(2), {});
    ASSERT_FALSE(saved.error) << saved.error->description();
    PgBackend overSocket(store, kContainer);
    QueryPage page = overSocket.query(kB, Scope::Private, Query(kType, Predicate::withValue(true)),
                                      std::nullopt, 0);
    EXPECT_EQ(page.records.size(), 2u);
}

TEST(PgBackendTest, AConnectionThatRequiresTlsGetsIt) {
    auto cluster = PgTestCluster::makePrivate();
    const std::string store = cluster->freshDatabase();
    const std::string overTcp = cluster->overTcp(store) + " sslmode=require";
    {
        // Before the server has a certificate, the requirement is a clean network error.
        PgBackend plain(overTcp + " connect_timeout=2", kContainer);
        const AccountResult refused = plain.accountStatus(kA);
        ASSERT_TRUE(refused.error);
        EXPECT_EQ(refused.error->code(), ErrorCode::NetworkUnavailable);
    }
    ASSERT_TRUE(cluster->serveTls());
    PgBackend backend(overTcp, kContainer);
    ASSERT_FALSE(backend.open());
    const ModifyResult saved = backend.modifyRecords(kA, Scope::Private, lessons(2), {});
    ASSERT_FALSE(saved.error) << saved.error->description();
    // The backend keeps its connection: the server shows it encrypted.
    EXPECT_EQ(cluster->psql(databaseOf(store),
                            "SELECT count(*) FROM pg_stat_ssl s JOIN pg_stat_activity a"
                            " USING (pid) WHERE a.application_name = 'wovanu-typing' AND s.ssl"),
              "1\n");
}

// Only the server's own announcements wake the container; anything else said on the channel
// is ignored and the listener goes on.
TEST(PgBackendTest, GarbageOnTheChannelWakesNothing) {
    auto& cluster = PgTestCluster::shared();
    const std::string store = cluster.freshDatabase();
    PgBackend listener(store, kContainer), writer(store, kContainer);
    std::atomic<int> wakes{0};
    listener.setChangeHandler([&] { ++wakes; });
    ASSERT_FALSE(listener.open());
    ASSERT_FALSE(writer.open());
    ASSERT_FALSE(listener.registerForPushes(kB));
    ASSERT_FALSE(writer
                     .saveSubscription(kA, Scope::Private,
                                       Subscription(kType, Predicate::withValue(true), 3))
                     .error);
    auto waitFor = [&](int count) {
        for (int i = 0; i < 500 && wakes.load() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return wakes.load() >= count;
    };
    // Once connected, the listener asks for a catch-up.
    ASSERT_TRUE(waitFor(1));
    const int settled = wakes.load();
    const std::string channel = PgBackend::channelFor(kContainer, "alice");
    for (const char* payload : {"", "garbage", "notifications-but-not-quite", "\x01\x02"}) {
        SCOPED_TRACE(payload);
        cluster.psql(databaseOf(store),
                     std::string("SELECT pg_notify('") + channel + "', '" + payload + "')");
    }
    // Time for the listener to have read them, then a real announcement behind them.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(wakes.load(), settled);
    ASSERT_FALSE(writer.modifyRecords(kA, Scope::Private, lessons(1), {}).error);
    EXPECT_TRUE(waitFor(settled + 1));
    EXPECT_TRUE(listener.poll(kB, 0).push);
}

}  // namespace
}  // namespace wv::ck
