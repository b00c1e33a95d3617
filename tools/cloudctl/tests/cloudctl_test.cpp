#include "tools/cloudctl/CloudCtl.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/cloudkit/FolderBackend.h"
#include "platform/cloudkit/postgres/PgBackend.h"
#include "platform/cloudkit/testing/PgTestCluster.h"

namespace wv {
namespace {

constexpr const char* kContainer = "iCloud.com.wovanu.typing";
const ck::Caller kA{"install-A", "alice"};

struct Output {
    int status;
    std::string text;
};

Output shell(const std::string& command) {
    Output result{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.text.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class CloudCtlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / info->name();
        std::filesystem::remove_all(folder_);
        file_ = ck::FolderBackend::fileInFolder(folder_, kContainer);
        backend_ = std::make_unique<ck::FolderBackend>(file_, kContainer);
        ASSERT_FALSE(backend_->open());
    }

    // Runs the tool in-process on the test's folder.
    Output ctl(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--folder", folder_.string()});
        std::ostringstream out, err;
        const int status = CloudCtl().run(arguments, out, err);
        return {status, out.str() + err.str()};
    }

    void fill() {
        ck::Subscription sub("WVLessonStats", ck::Predicate::withValue(true), 3);
        ASSERT_FALSE(backend_->saveSubscription(kA, ck::Scope::Private, sub).error);
        std::vector<ck::Record> records;
        for (int i = 0; i < 3; ++i) {
            ck::Record r("WVLessonStats");
            r.setObject("localID", int64_t(i));
            r.setObject("time", 0.1 * i + 1.0 / 3);
            r.setObject("localTime", std::string("2024-05-0") + char('1' + i) + " 10:00:00");
            records.push_back(r);
        }
        ASSERT_FALSE(backend_->modifyRecords(kA, ck::Scope::Private, records, {}).error);
        ASSERT_FALSE(
            backend_->exchangeKeyValues(kA, {{"config", plist::Value(int64_t(4))}}, 0).error);
    }

    std::filesystem::path folder_;
    std::filesystem::path file_;
    std::unique_ptr<ck::Backend> backend_;
};

// The tool and the sqlite3 shell, reading the same file, print the same rows.
TEST_F(CloudCtlTest, AgreesWithTheSqliteShell) {
    fill();
    struct Case {
        const char* table;
        const char* sql;
    };
    const Case cases[] = {
        {"records",
         "SELECT scope, zone, name, type, change_tag, created_seq, modified_seq, creator FROM "
         "records ORDER BY id"},
        {"fields",
         "SELECT r.name, f.key, f.type, f.value FROM fields f JOIN records r ON r.id = f.record "
         "ORDER BY r.id, f.position"},
        {"notifications",
         "SELECT id, account, seq, subscription_id, zone, record_name, reason, originator FROM "
         "notifications ORDER BY id"},
        {"changes", "SELECT seq, installation, account, operation FROM changes ORDER BY seq"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        const Output tool = shell(std::string(WOVANU_CLOUDCTL) + " --folder '" + folder_.string() +
                                  "' show " + c.table);
        EXPECT_EQ(tool.status, 0);
        const Output sqlite =
            shell("sqlite3 -readonly -separator '\t' '" + file_.string() + "' \"" + c.sql + "\"");
        ASSERT_EQ(sqlite.status, 0) << sqlite.text;
        EXPECT_FALSE(tool.text.empty());
        EXPECT_EQ(tool.text, sqlite.text);
    }
}

TEST_F(CloudCtlTest, ControlsReachTheInstallations) {
    fill();
    EXPECT_EQ(ctl({"account", "install-A", "none"}).status, 0);
    EXPECT_EQ(backend_->accountStatus(kA).status, ck::AccountStatus::NoAccount);
    EXPECT_EQ(ctl({"account", "install-A", "default"}).status, 0);
    EXPECT_EQ(backend_->accountStatus(kA).status, ck::AccountStatus::Available);

    EXPECT_EQ(ctl({"fail", "modify", "1", "network-failure", "install-A"}).status, 0);
    const auto failed = backend_->modifyRecords(kA, ck::Scope::Private, {ck::Record("T")}, {});
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->code(), ck::ErrorCode::NetworkFailure);
    EXPECT_FALSE(backend_->modifyRecords(kA, ck::Scope::Private, {ck::Record("T")}, {}).error);

    const auto token = backend_->fetchNotificationChanges(kA, std::nullopt, 0).token;
    EXPECT_EQ(ctl({"reset-epoch"}).status, 0);
    EXPECT_EQ(backend_->fetchNotificationChanges(kA, token, 0).error->code(),
              ck::ErrorCode::ChangeTokenExpired);

    EXPECT_EQ(ctl({"network", "install-A", "down"}).status, 0);
    const Output installations = ctl({"--header", "show", "installations"});
    EXPECT_NE(installations.text.find("id\taccount\tregistered"), std::string::npos);
    EXPECT_NE(installations.text.find("install-A\talice\t0\t0\t\t1\t0\t0"), std::string::npos)
        << installations.text;
}

TEST_F(CloudCtlTest, SaysWhatItCannotDo) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{}, 2, "usage:"},
        {{"frobnicate"}, 2, "no command named \"frobnicate\""},
        {{"show", "nothing"}, 1, "no table \"nothing\""},
        {{"fail", "modify", "x", "internal-error"}, 2, "not a number: x"},
        {{"fail", "modify", "1", "gremlins"}, 2, "no error named \"gremlins\""},
        {{"fail", "teleport", "1", "internal-error"}, 1, "no kind of call named \"teleport\""},
        {{"page-size", "0"}, 1, "at least 1 record"},
        {{"account", "install-A"}, 2, "wrong number of arguments"},
    };
    for (const Case& c : cases) {
        const Output output = ctl(c.arguments);
        EXPECT_EQ(output.status, c.status) << output.text;
        EXPECT_NE(output.text.find(c.says), std::string::npos) << output.text;
    }
    std::ostringstream out, err;
    EXPECT_EQ(
        CloudCtl().run({"--folder", (folder_ / "nowhere").string(), "show", "records"}, out, err),
        1);
    EXPECT_NE(err.str().find("no container at"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "nowhere"));
}

// On a server the tool prints what psql reads from the same tables, and its controls reach
// the installations there.
TEST(CloudCtlServerTest, ShowsAndSteersAServerAsItDoesAFolder) {
    auto& cluster = ck::testing::PgTestCluster::shared();
    const std::string store = cluster.freshDatabase();
    const std::string database = store.substr(store.rfind("dbname=") + 7);
    ck::PgBackend backend(store, kContainer);
    ASSERT_FALSE(backend.open());
    std::vector<ck::Record> records;
    for (int i = 0; i < 3; ++i) {
        ck::Record r("WVLessonStats");
        r.setObject("localID", int64_t(i));
        r.setObject("time", 0.1 * i + 1.0 / 3);
        records.push_back(r);
    }
    ASSERT_FALSE(backend.modifyRecords(kA, ck::Scope::Private, records, {}).error);

    const std::string tool = std::string(WOVANU_CLOUDCTL) + " --server '" + store + "' ";
    struct Case {
        const char* table;
        const char* sql;
    };
    const Case cases[] = {
        {"records",
         "SELECT scope, zone, name, type, change_tag, created_seq, modified_seq, creator"
         " FROM records ORDER BY id"},
        {"fields",
         "SELECT r.name, f.key, f.type, f.value FROM fields f JOIN records r ON r.id = f.record"
         " ORDER BY r.id, f.position"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        const Output shown = shell(tool + "show " + c.table);
        EXPECT_EQ(shown.status, 0) << shown.text;
        std::string expected = cluster.psql(database, c.sql);
        for (char& ch : expected)
            if (ch == '|') ch = '\t';
        EXPECT_EQ(shown.text, expected);
        EXPECT_EQ(std::count(shown.text.begin(), shown.text.end(), '\n'),
                  c.table == std::string("records") ? 3 : 6);
    }

    EXPECT_EQ(shell(tool + "account install-A none").status, 0);
    EXPECT_EQ(backend.accountStatus(kA).status, ck::AccountStatus::NoAccount);

    const Output bad = shell(std::string(WOVANU_CLOUDCTL) +
                             " --server \"password=hunter2 'open\" show records 2>&1");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.text.find("does not parse"), std::string::npos) << bad.text;
    EXPECT_EQ(bad.text.find("hunter2"), std::string::npos) << bad.text;
}

}  // namespace
}  // namespace wv
