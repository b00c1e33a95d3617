#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "platform/cloudkit/FolderBackend.h"

namespace wv::ck {
namespace {

const Caller kA{"install-A", "alice"};
constexpr const char* kContainer = "iCloud.test.container";

std::filesystem::path scratch() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    auto path = std::filesystem::path(std::getenv("XDG_DATA_HOME")) /
                (std::string(info->test_suite_name()) + "_" + info->name());
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void sql(const std::filesystem::path& path, const std::string& statements) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

// A store of ours, made and closed, for the cases to spoil.
std::filesystem::path makeStore(const std::filesystem::path& folder) {
    const auto file = FolderBackend::fileInFolder(folder, kContainer);
    FolderBackend backend(file, kContainer);
    EXPECT_FALSE(backend.open());
    Record record("WVLessonStats");
    record.setObject("localID", int64_t(1));
    EXPECT_FALSE(backend.modifyRecords(kA, Scope::Private, {record}, {}).error);
    return file;
}

// Files that are not this container's store: refused with a message naming the file and
// what is wrong, every call fails, and not one byte of the file changes.
TEST(FolderBackendTest, RefusesFilesThatAreNotItsStore) {
    struct Case {
        const char* what;
        std::function<void(const std::filesystem::path&)> spoil;
        const char* message;
    };
    const Case cases[] = {
        {"text", [](const auto& f) { writeAll(f, "these are my notes, not a database\n"); },
         "not an SQLite database"},
        {"truncated", [](const auto& f) { writeAll(f, readAll(f).substr(0, 2500)); },
         "damaged or truncated"},
        {"another program's",
         [](const auto& f) {
             std::filesystem::remove(f);
             sql(f,
                 "CREATE TABLE notes(id INTEGER PRIMARY KEY, body TEXT);"
                 "INSERT INTO notes(body) VALUES('keep me');");
         },
         "another program's database"},
        {"newer schema", [](const auto& f) { sql(f, "PRAGMA user_version=2;"); },
         "schema version 2 is newer"},
        {"another container",
         [](const auto& f) {
             sql(f, "UPDATE meta SET value='iCloud.other' WHERE key='container';");
         },
         "holds container \"iCloud.other\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = makeStore(scratch() / c.what);
        c.spoil(file);
        std::filesystem::remove(file.string() + "-wal");
        std::filesystem::remove(file.string() + "-shm");
        const std::string before = readAll(file);

        FolderBackend backend(file, kContainer);
        const auto error = backend.open();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), ErrorCode::BadContainer);
        EXPECT_NE(error->description().find(c.message), std::string::npos) << error->description();
        EXPECT_NE(error->description().find(file.string()), std::string::npos);
        Record record("WVLessonStats");
        const auto modify = backend.modifyRecords(kA, Scope::Private, {record}, {});
        ASSERT_TRUE(modify.error);
        EXPECT_EQ(modify.error->code(), ErrorCode::BadContainer);
        EXPECT_TRUE(backend.fetchNotificationChanges(kA, std::nullopt, 0).error);
        EXPECT_EQ(backend.accountStatus(kA).status, AccountStatus::CouldNotDetermine);
        EXPECT_TRUE(backend.inspect("records").error);
        EXPECT_EQ(readAll(file), before);
    }
}

TEST(FolderBackendTest, AnEmptyFileBecomesAStore) {
    const auto file = FolderBackend::fileInFolder(scratch(), kContainer);
    writeAll(file, "");
    FolderBackend backend(file, kContainer);
    EXPECT_FALSE(backend.open());
    EXPECT_EQ(backend.inspect("status").rows.at(0).at(0), kContainer);
}

// A field written by something else, of a kind this program does not know, fails its record
// and only its record.
TEST(FolderBackendTest, AFieldOfUnknownTypeFailsItsRecordOnly) {
    const auto folder = scratch();
    const auto file = FolderBackend::fileInFolder(folder, kContainer);
    FolderBackend backend(file, kContainer);
    ASSERT_FALSE(backend.open());
    std::vector<Record> records;
    for (int i = 0; i < 3; ++i) {
        Record r("WVLessonStats");
        r.setObject("localID", int64_t(i));
        records.push_back(r);
    }
    ASSERT_FALSE(backend.modifyRecords(kA, Scope::Private, records, {}).error);
    sql(file, "UPDATE fields SET type='bool' WHERE record=(SELECT id FROM records WHERE name='" +
                  records[1].recordID().recordName() + "');");

    const QueryPage page = backend.query(
        kA, Scope::Private, Query("WVLessonStats", Predicate::withValue(true)), std::nullopt, 0);
    ASSERT_EQ(page.records.size(), 2u);
    ASSERT_TRUE(page.error);
    EXPECT_EQ(page.error->code(), ErrorCode::PartialFailure);
    ASSERT_EQ(page.error->partialErrors.size(), 1u);
    EXPECT_EQ(page.error->partialErrors[0].recordID, records[1].recordID());
    EXPECT_NE(page.error->partialErrors[0].description().find("unknown type \"bool\""),
              std::string::npos);

    const FetchResult fetched =
        backend.fetchRecords(kA, Scope::Private, {records[0].recordID(), records[1].recordID()});
    EXPECT_TRUE(fetched.items.at(0).record);
    EXPECT_FALSE(fetched.items.at(1).record);
    EXPECT_TRUE(fetched.items.at(1).error);
}

TEST(FolderBackendTest, TheStoreIsWrittenAheadWithFullSync) {
    const auto file = makeStore(scratch());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &s, nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "wal");
    sqlite3_finalize(s);
    sqlite3_prepare_v2(db, "PRAGMA application_id", -1, &s, nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(s, 0), FolderBackend::kApplicationId);
    sqlite3_finalize(s);
    sqlite3_close(db);
}

// Installations that start together on a store nobody has made yet all get it: a switch of
// the journal mode that meets another's lock waits instead of refusing the store for the run.
TEST(FolderBackendTest, InstallationsOpeningANewStoreTogetherAllGetIt) {
    const auto folder = scratch();
    for (int round = 0; round < 40; ++round) {
        const auto file = FolderBackend::fileInFolder(folder / std::to_string(round), kContainer);
        constexpr int kInstallations = 4;
        std::vector<std::optional<Error>> opened(kInstallations), wrote(kInstallations);
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < kInstallations; ++i) {
            threads.emplace_back([&, i] {
                FolderBackend backend(file, kContainer);
                ++ready;
                while (ready.load() < kInstallations) std::this_thread::yield();
                opened[i] = backend.open();
                const Caller caller{"install-" + std::to_string(i), "alice"};
                wrote[i] = backend
                               .exchangeKeyValues(caller, {{"k" + std::to_string(i),
                                                            plist::Value(int64_t(i))}},
                                                  0)
                               .error;
            });
        }
        for (auto& t : threads) t.join();
        for (int i = 0; i < kInstallations; ++i) {
            ASSERT_FALSE(opened[i]) << "round " << round << ": " << opened[i]->description();
            ASSERT_FALSE(wrote[i]) << "round " << round << ": " << wrote[i]->description();
        }
    }
}

}  // namespace
}  // namespace wv::ck
