// Installations as separate programs (the headless peer) on one container, kept in a folder
// or on a server: what a line finished on one becomes on the server and on the others, also
// when a program is killed at any moment and started again.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "platform/cloudkit/ContainerControl.h"
#include "platform/cloudkit/FolderBackend.h"
#include "platform/cloudkit/postgres/PgBackend.h"
#include "platform/cloudkit/testing/PgTestCluster.h"
#include "platform/plist/Value.h"
#include "platform/sqlite/Database.h"

namespace wv {
namespace {

constexpr const char* kContainer = "iCloud.com.wovanu.typing";

// Where the programs' shared container is kept, how their environment names it, and the
// store's own client to look into it behind the programs' backs (SQLite for the folder's
// file, psql for the server's database).
struct PeerStore {
    std::string name;
    const char* variable;
    // A fresh, empty store for one test under `root`; returns the variable's value.
    std::function<std::string(const std::filesystem::path& root)> fresh;
    std::function<std::unique_ptr<ck::Backend>(const std::string& store)> connect;
    // The first column of each row `sql` gives, as text.
    std::function<std::vector<std::string>(const std::string& store, const std::string& sql)>
        query;
};

void PrintTo(const PeerStore& store, std::ostream* out) { *out << store.name; }

std::vector<PeerStore> peerStores() {
    PeerStore folder;
    folder.name = "Folder";
    folder.variable = "WOVANU_CLOUD_FOLDER";
    folder.fresh = [](const std::filesystem::path& root) {
        std::filesystem::create_directories(root / "cloud");
        return (root / "cloud").string();
    };
    folder.connect = [](const std::string& store) -> std::unique_ptr<ck::Backend> {
        return std::make_unique<ck::FolderBackend>(
            ck::FolderBackend::fileInFolder(store, kContainer), kContainer);
    };
    folder.query = [](const std::string& store, const std::string& sql) {
        std::vector<std::string> rows;
        sqlite::Database db(ck::FolderBackend::fileInFolder(store, kContainer));
        if (!db.open(sqlite::Database::Mode::ReadOnly)) return rows;
        auto rs = db.executeQuery(sql);
        while (rs && rs->next()) rows.push_back(rs->stringForColumnIndex(0).value_or("NULL"));
        return rows;
    };

    PeerStore server;
    server.name = "PostgreSQL";
    server.variable = "WOVANU_CLOUD_SERVER";
    server.fresh = [](const std::filesystem::path&) {
        return ck::testing::PgTestCluster::shared().freshDatabase();
    };
    server.connect = [](const std::string& store) -> std::unique_ptr<ck::Backend> {
        return std::make_unique<ck::PgBackend>(store, kContainer);
    };
    server.query = [](const std::string& store, const std::string& sql) {
        const auto at = store.find("dbname=");
        const std::string database = store.substr(at + 7, store.find(' ', at) - at - 7);
        std::vector<std::string> rows;
        std::istringstream text(ck::testing::PgTestCluster::shared().psql(database, sql));
        for (std::string line; std::getline(text, line);) rows.push_back(line);
        return rows;
    };
    return {folder, server};
}

class PeerProcessTest : public ::testing::TestWithParam<PeerStore> {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The test's name without its "/<index>", and the store's after it.
        const std::string name = std::string(info->name());
        root_ = std::filesystem::path(std::getenv("XDG_DATA_HOME")) /
                (name.substr(0, name.find('/')) + "_" + GetParam().name);
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        store_ = GetParam().fresh(root_);
    }

    // The environment that points an installation at the shared container.
    void pointAtStore() {
        unsetenv("WOVANU_CLOUD_FOLDER");
        unsetenv("WOVANU_CLOUD_SERVER");
        setenv(GetParam().variable, store_.c_str(), 1);
        setenv("WOVANU_CLOUD_ACCOUNT", "learner", 1);
    }

    // Starts the peer for installation `name`; its output goes to "<name>.log".
    pid_t start(const std::string& name, const std::vector<std::string>& arguments) {
        const auto data = root_ / name;
        std::filesystem::create_directories(data);
        const auto logFile = root_ / (name + ".log");
        const pid_t pid = fork();
        if (pid == 0) {
            FILE* out = std::fopen(logFile.c_str(), "a");
            if (out) dup2(fileno(out), STDOUT_FILENO);
            setenv("XDG_DATA_HOME", data.c_str(), 1);
            pointAtStore();
            unsetenv("XCInjectBundleInto");
            std::vector<std::string> all = {WOVANU_PEER};
            all.insert(all.end(), arguments.begin(), arguments.end());
            std::vector<char*> argv;
            for (auto& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }
    int wait(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
    }
    int run(const std::string& name, const std::vector<std::string>& arguments) {
        return wait(start(name, arguments));
    }
    std::string output(const std::string& name) {
        std::ifstream in(root_ / (name + ".log"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    int64_t count(const std::string& name, const std::string& sql) {
        sqlite::Database db(root_ / name / "com.wovanu.typing" / "statistics.db");
        if (!db.open()) return -1;
        auto rs = db.executeQuery(sql);
        return rs && rs->next() ? rs->longLongIntForColumnIndex(0) : -1;
    }
    std::vector<std::string> column(const std::string& name, const std::string& sql) {
        std::vector<std::string> out;
        sqlite::Database db(root_ / name / "com.wovanu.typing" / "statistics.db");
        if (!db.open()) return out;
        auto rs = db.executeQuery(sql);
        while (rs && rs->next()) out.push_back(rs->stringForColumnIndex(0).value_or("NULL"));
        return out;
    }

    ck::ContainerControl control() { return ck::ContainerControl(GetParam().connect(store_)); }
    std::vector<std::string> serverQuery(const std::string& sql) {
        return GetParam().query(store_, sql);
    }
    // The server's records, each as its fields' "key=type:value" texts.
    std::map<std::string, std::map<std::string, std::string>> serverRecords() {
        std::map<std::string, std::map<std::string, std::string>> byRecord;
        for (const auto& row : serverQuery(
                 "SELECT r.name || '|' || f.key || '|' || f.type || ':' || f.value"
                 " FROM records r JOIN fields f ON f.record = r.id")) {
            const auto bar = row.find('|'), second = row.find('|', bar + 1);
            byRecord[row.substr(0, bar)][row.substr(bar + 1, second - bar - 1)] =
                row.substr(second + 1);
        }
        return byRecord;
    }
    // The server's records as "localTime|speed" keys, one per record.
    std::multiset<std::string> serverLines() {
        auto typedValue = [](const std::string& text) { return text.substr(text.find(':') + 1); };
        std::multiset<std::string> out;
        for (auto& [name, fields] : serverRecords())
            out.insert(typedValue(fields["localTime"]) + "|" + typedValue(fields["speed"]));
        return out;
    }
    std::multiset<std::string> localLines(const std::string& name) {
        auto rows = column(name, "SELECT timestamp || '|' || speed FROM sessions");
        return {rows.begin(), rows.end()};
    }

    std::filesystem::path root_;
    std::string store_;
};

TEST_P(PeerProcessTest, ALineTravelsOnceToTheServerAndToEveryOtherInstallation) {
    ASSERT_EQ(run("A", {"--lines", "2", "--run", "1.5"}), 0);
    EXPECT_EQ(serverLines(), localLines("A"));
    // Fifteen typed fields per record.
    const auto records = serverRecords();
    ASSERT_EQ(records.size(), 2u);
    for (const auto& [name, fields] : records) {
        EXPECT_EQ(fields.size(), 15u) << name;
        for (const auto& [key, typed] : fields) {
            const std::string type = key == "localTime" || key == "mistakesChars" ? "string"
                                     : key == "time"                              ? "double"
                                                                                  : "int64";
            EXPECT_EQ(typed.substr(0, typed.find(':')), type) << name << " " << key;
        }
    }

    ASSERT_EQ(run("B", {"--run", "1.5"}), 0);
    EXPECT_EQ(localLines("B"), localLines("A"));
    EXPECT_EQ(count("B", "SELECT count(*) FROM cloud_sync"), 2);
    EXPECT_NE(output("B").find("WVCloud push to cloud: true. PUSHED 0"), std::string::npos);

    // B running while A finishes a line: notified, it stores it and sends nothing back.
    const pid_t b = start("B", {"--run", "4"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    ASSERT_EQ(run("A", {"--lines", "1", "--speed", "300", "--run", "1.5"}), 0);
    EXPECT_EQ(wait(b), 0);
    EXPECT_EQ(localLines("B"), localLines("A"));
    EXPECT_EQ(serverLines().size(), 3u);
    EXPECT_EQ(column("B", "SELECT count(*) FROM cloud_sync WHERE CKRecordID2 IS NULL"),
              (std::vector<std::string>{"3"}));
}

// Killed after the server committed its push but before the reply came: started again, it
// repeats the send under the same name and the server's copy confirms it.
TEST_P(PeerProcessTest, KilledBetweenTheServersCommitAndTheReplyTheLineStaysSingle) {
    ASSERT_EQ(run("A", {"--run", "1"}), 0);
    const auto installations = control().inspect("installations").rows;
    ASSERT_EQ(installations.size(), 1u);
    const std::string a = installations[0][0];
    ASSERT_FALSE(control().hold(a));

    const pid_t pid = start("A", {"--lines", "1", "--run", "10"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!control().isHeld(a) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(control().isHeld(a)) << output("A");
    kill(pid, SIGKILL);
    wait(pid);
    ASSERT_FALSE(control().release(a));
    EXPECT_EQ(serverLines().size(), 1u);
    EXPECT_EQ(count("A", "SELECT count(*) FROM cloud_sync"), 0);
    EXPECT_EQ(count("A", "SELECT count(*) FROM cloud_pending"), 1);

    ASSERT_EQ(run("A", {"--run", "1.5"}), 0);
    EXPECT_EQ(serverLines(), localLines("A"));
    EXPECT_EQ(count("A", "SELECT count(*) FROM cloud_sync"), 1);
    EXPECT_EQ(count("A", "SELECT count(*) FROM cloud_pending"), 0);
    ASSERT_EQ(run("B", {"--run", "1.5"}), 0);
    EXPECT_EQ(localLines("B"), localLines("A"));
}

// Killed at random moments while finishing lines and synchronising, then started again:
// every line exactly once on every installation and on the server.
TEST_P(PeerProcessTest, KilledAtAnyMomentEveryLineArrivesExactlyOnce) {
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> delay(80, 900);
    for (int round = 0; round < 6; ++round) {
        const std::string name = round % 2 ? "B" : "A";
        const pid_t pid = start(name, {"--lines", "6", "--every", "0.03", "--speed",
                                       std::to_string(100 + 10 * round), "--run", "2"});
        std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
        kill(pid, SIGKILL);
        wait(pid);
    }
    // Each started once more, undisturbed, catches up; then a fresh one joins.
    ASSERT_EQ(run("A", {"--run", "1.5"}), 0);
    ASSERT_EQ(run("B", {"--run", "1.5"}), 0);
    ASSERT_EQ(run("A", {"--run", "1.5"}), 0);
    ASSERT_EQ(run("C", {"--run", "1.5"}), 0);

    const auto server = serverLines();
    auto localA = localLines("A");
    EXPECT_EQ(localA, localLines("B"));
    EXPECT_EQ(localA, localLines("C"));
    EXPECT_EQ(server, localA);
    for (const char* name : {"A", "B", "C"}) {
        EXPECT_EQ(count(name, "SELECT count(*) FROM cloud_sync"), int64_t(server.size())) << name;
        EXPECT_EQ(count(name, "SELECT count(DISTINCT CKRecordID) FROM cloud_sync"),
                  int64_t(server.size()))
            << name;
    }
}

// The application itself as the other installation (offscreen): settings saved by a peer
// reach its typing screen before any key press, and nothing of it goes back.
TEST_P(PeerProcessTest, SettingsFromAPeerReachTheApplicationAndNothingComesBack) {
    ASSERT_EQ(run("A", {"--wpm", "--run", "1.5"}), 0);
    const auto keyValues = [&] {
        return serverQuery("SELECT key || '|' || seq || '|' || writer || '|' || value"
                           " FROM keyvalues ORDER BY key");
    };
    const auto writers = serverQuery("SELECT DISTINCT writer FROM keyvalues");
    ASSERT_EQ(writers.size(), 1u);
    const auto keyValuesBefore = keyValues();

    const auto data = root_ / "App";
    std::filesystem::create_directories(data);
    const auto logFile = root_ / "App.log";
    const pid_t app = fork();
    if (app == 0) {
        FILE* out = std::fopen(logFile.c_str(), "a");
        if (out) dup2(fileno(out), STDOUT_FILENO);
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        pointAtStore();
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(WOVANU_APPLICATION, WOVANU_APPLICATION, static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (output("App").find("WVCloud synchronization complete") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    kill(app, SIGKILL);
    wait(app);
    const std::string text = output("App");
    EXPECT_NE(text.find("WVCloudKeyValue: new config arrived"), std::string::npos) << text;
    EXPECT_NE(text.find("Save to iCloud: SKIPPED"), std::string::npos) << text;
    EXPECT_EQ(keyValues(), keyValuesBefore);
    auto config = plist::readFile(data / "com.wovanu.typing" / "config.plist");
    ASSERT_TRUE(config && config->get<plist::Dictionary>());
    const plist::Value* speed = config->get<plist::Dictionary>()->find("speedType");
    ASSERT_TRUE(speed);
    EXPECT_EQ(*speed, plist::Value(int64_t(1)));
}

INSTANTIATE_TEST_SUITE_P(Stores, PeerProcessTest, ::testing::ValuesIn(peerStores()),
                         [](const ::testing::TestParamInfo<PeerStore>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace wv
