#include <gtest/gtest.h>

#include "engine/LessonsStatsDBTable.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

std::filesystem::path freshPath(const std::string& file) {
    auto dir = Folders::dataHome() / "stats";
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir / file);
    return dir / file;
}

std::vector<std::string> columns(DB& db) {
    std::vector<std::string> names;
    auto rs = db.connection().executeQuery("pragma table_info('sessions')");
    while (rs && rs->next()) names.push_back(*rs->stringForColumn("name"));
    return names;
}

std::vector<std::string> columnsFrom(std::initializer_list<const char*> names) {
    return {names.begin(), names.end()};
}

const std::vector<std::string> kVersion1 =
    columnsFrom({"id", "timestamp", "time", "speed", "mistakes", "langId", "diffLvl", "diffAuto"});
const std::vector<std::string> kVersion4 = columnsFrom(
    {"id", "timestamp", "time", "speed", "mistakes", "langId", "diffLvl", "diffAuto", "accuracy",
     "hasDelete", "hasNumbers", "hasCapitals", "hasPunctuation", "mistakesChars", "layoutIdx"});

TEST(LessonsStatsDBTable, CreatesTheColumnsOfTheVersion) {
    struct Case {
        int version;
        size_t count;
    } cases[] = {{0, 8}, {1, 8}, {2, 13}, {3, 14}, {4, 15}, {9, 15}};
    for (const auto& c : cases) {
        DB db(freshPath("create.db"));
        LessonsStatsDBTable table(db, "sessions");
        LogCapture log;
        table.createOrUpgrade(c.version);
        EXPECT_EQ(log.lines(), std::vector<std::string>{"Statistics: creating db"});
        auto names = columns(db);
        EXPECT_EQ(names.size(), c.count) << c.version;
        EXPECT_TRUE(std::equal(names.begin(), names.end(), kVersion4.begin())) << c.version;
    }
}

TEST(LessonsStatsDBTable, CreateStatementIsTheFixedText) {
    DB db(freshPath("create-text.db"));
    std::vector<std::string> statements;
    db.connection().setTraceCallback([&](const std::string& s) { statements.push_back(s); });
    LessonsStatsDBTable(db, "sessions").create(4);
    ASSERT_FALSE(statements.empty());
    EXPECT_EQ(statements.back(),
              "CREATE TABLE if not exists sessions(id integer primary key autoincrement,"
              "timestamp datetime not null,time double not null,speed int not null,mistakes int "
              "not null,langId int not null,diffLvl int not null,diffAuto int not null, accuracy "
              "int not null,hasDelete int not null,hasNumbers int not null,hasCapitals int not "
              "null,hasPunctuation int not null, mistakesChars TEXT, layoutIdx int);");
}

// A table as an older version of the program left it, with one row in it.
void makeOldTable(DB& db, int version) {
    LessonsStatsDBTable(db, "sessions").create(version);
    std::string sql =
        "INSERT INTO sessions (timestamp, time, speed, mistakes, langId, diffLvl, diffAuto";
    std::string values = " values ('2023-04-05 06:07:08', 31.5, 187, 2, 3, 4, 1";
    if (version >= 2) {
        sql += ", accuracy, hasDelete, hasNumbers, hasCapitals, hasPunctuation";
        values += ", 97, 1, 1, 0, 1";
    }
    if (version >= 3) {
        sql += ", mistakesChars";
        values += ", 'eäxy'";
    }
    ASSERT_TRUE(db.connection().executeUpdate(sql + ")" + values + ")"));
}

const std::string kFirstStep =
    "Statistics: adding extra columns : [\"accuracy int;\", \"hasDelete int;\", \"hasNumbers "
    "int;\", \"hasCapitals int;\", \"hasPunctuation int;\"]";
const std::string kSecondStep = "Statistics: adding extra columns : [\"mistakesChars TEXT;\"]";
const std::string kThirdStep = "Statistics: adding extra columns : [\"layoutIdx INT;\"]";

TEST(LessonsStatsDBTable, UpgradesOldFilesColumnByColumnAndKeepsTheirRows) {
    struct Case {
        int version;
        std::vector<std::string> messages;
        size_t alterations;
    } cases[] = {
        {1, {kFirstStep, kSecondStep, kThirdStep}, 7},
        {2, {kSecondStep, kThirdStep}, 2},
        {3, {kThirdStep}, 1},
        {4, {}, 0},
    };
    for (const auto& c : cases) {
        const auto path = freshPath("old-" + std::to_string(c.version) + ".db");
        {
            DB db(path);
            makeOldTable(db, c.version);
        }
        DB db(path);
        std::vector<std::string> alterations;
        db.connection().setTraceCallback([&](const std::string& s) {
            if (s.rfind("ALTER", 0) == 0) alterations.push_back(s);
        });
        LessonsStatsDBTable table(db, "sessions");
        LogCapture log;
        table.createOrUpgrade(4);
        EXPECT_EQ(log.lines(), c.messages) << c.version;
        EXPECT_EQ(alterations.size(), c.alterations) << c.version;
        auto names = columns(db);
        std::sort(names.begin(), names.end());
        auto expected = kVersion4;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected) << c.version;

        auto lessons = table.loadAll();
        ASSERT_EQ(lessons.size(), 1u) << c.version;
        const LessonInfo& l = *lessons[0];
        EXPECT_EQ(l.id, 1);
        EXPECT_EQ(l.localTime, "2023-04-05 06:07:08");
        EXPECT_EQ(l.time, 31.5);
        EXPECT_EQ(l.speedCPM, 187);
        EXPECT_EQ(l.mistypesCount, 2);
        EXPECT_EQ(l.language, Language::de);
        EXPECT_EQ(l.difficulty, 4);
        EXPECT_TRUE(l.isDiffAuto);
        EXPECT_FALSE(l.isExpert);
        EXPECT_EQ(l.layoutIdx, 0);  // NULL in every row older than the column
        const bool v2 = c.version >= 2;
        EXPECT_EQ(l.accuracy, v2 ? 97 : 0);
        EXPECT_EQ(l.isDeleteOn, v2);
        EXPECT_EQ(l.isNumbersOn, v2);
        EXPECT_FALSE(l.isCapitalsOn);
        EXPECT_EQ(l.isPunctuationOn, v2);
        EXPECT_EQ(l.mistypes, c.version >= 3 ? "eäxy" : "");  // NULL reads as no typos
    }
}

TEST(LessonsStatsDBTable, AlterStatementsCarryTheDefinitionsUnchanged) {
    const auto path = freshPath("alter.db");
    DB db(path);
    makeOldTable(db, 1);
    std::vector<std::string> alterations;
    db.connection().setTraceCallback([&](const std::string& s) {
        if (s.rfind("ALTER", 0) == 0) alterations.push_back(s);
    });
    LogCapture log;
    LessonsStatsDBTable(db, "sessions").upgrade();
    EXPECT_EQ(alterations, columnsFrom({"ALTER TABLE sessions ADD COLUMN accuracy int;",
                                        "ALTER TABLE sessions ADD COLUMN hasDelete int;",
                                        "ALTER TABLE sessions ADD COLUMN hasNumbers int;",
                                        "ALTER TABLE sessions ADD COLUMN hasCapitals int;",
                                        "ALTER TABLE sessions ADD COLUMN hasPunctuation int;",
                                        "ALTER TABLE sessions ADD COLUMN mistakesChars TEXT;",
                                        "ALTER TABLE sessions ADD COLUMN layoutIdx INT;"}));
}

struct Table4 {
    Table4() : db(freshPath("v4.db")), table(db, "sessions") {
        LogCapture quiet;
        table.createOrUpgrade(4);
    }
    void insert(const std::string& timestamp, int langId, int diffLvl, const char* extra = "") {
        const std::string sql =
            "INSERT INTO sessions (timestamp, time, speed, mistakes, langId, diffLvl, diffAuto, "
            "accuracy, hasDelete, hasNumbers, hasCapitals, hasPunctuation, mistakesChars, "
            "layoutIdx) values ('" +
            timestamp + "', 2.0, 100, 0, " + std::to_string(langId) + ", " +
            std::to_string(diffLvl) + ", 0, 100, 0, 0, 1, 0, " + (*extra ? extra : "NULL, 2") + ")";
        ASSERT_TRUE(db.connection().executeUpdate(sql));
    }
    DB db;
    LessonsStatsDBTable table;
};

TEST(LessonsStatsDBTable, ReadsLanguageExpertAndLayoutAsTheRowSays) {
    Table4 t;
    t.insert("2024-01-02 03:04:05", 12, 6);
    t.insert("2024-01-02 03:04:06", 9, 5, "'', 1");
    t.insert("2024-01-02 03:04:07", -1, 0, "'ab', NULL");
    auto lessons = t.table.loadAll();
    ASSERT_EQ(lessons.size(), 3u);
    EXPECT_EQ(lessons[0]->language, Language::en);
    EXPECT_TRUE(lessons[0]->isExpert);
    EXPECT_EQ(lessons[0]->layoutIdx, 2);
    EXPECT_TRUE(lessons[0]->isCapitalsOn);
    EXPECT_EQ(lessons[0]->mistypes, "");
    EXPECT_EQ(lessons[1]->language, Language::pr);
    EXPECT_FALSE(lessons[1]->isExpert);
    EXPECT_EQ(lessons[1]->layoutIdx, 1);
    EXPECT_EQ(lessons[2]->language, Language::en);
    EXPECT_EQ(lessons[2]->layoutIdx, 0);
    EXPECT_EQ(lessons[2]->mistypes, "ab");
}

TEST(LessonsStatsDBTable, ATimestampThatDoesNotParseDropsOnlyThatRow) {
    Table4 t;
    t.insert("2024-01-02 03:04:05", 0, 1);
    t.insert("02.01.2024 03:04", 0, 1);
    t.insert("2024-01-02T03:04:06", 0, 1);
    t.insert("2024-01-02 03:04:07", 0, 1);
    auto lessons = t.table.loadAll();
    ASSERT_EQ(lessons.size(), 2u);
    EXPECT_EQ(lessons[0]->id, 1);
    EXPECT_EQ(lessons[1]->id, 4);
    EXPECT_TRUE(t.table.loadLesson(1));
    EXPECT_FALSE(t.table.loadLesson(2));
    EXPECT_FALSE(t.table.loadLesson(3));
    EXPECT_FALSE(t.table.loadLesson(99));
}

TEST(LessonsStatsDBTable, LoadsOneRowByItsIdWrittenIntoTheCondition) {
    Table4 t;
    t.insert("2024-01-02 03:04:05", 1, 1);
    t.insert("2024-01-02 03:04:06", 2, 1);
    std::vector<std::string> statements;
    t.db.connection().setTraceCallback([&](const std::string& s) { statements.push_back(s); });
    auto lesson = t.table.loadLesson(2);
    ASSERT_TRUE(lesson);
    EXPECT_EQ(lesson->language, Language::ru);
    EXPECT_EQ(statements, columnsFrom({"SELECT * FROM sessions WHERE id = 2"}));
    EXPECT_FALSE(LessonsStatsDBTable::lessonFromRow(nullptr));
}

TEST(LessonsStatsDBTable, EmptyOrMissingTablesLoadNothing) {
    Table4 t;
    EXPECT_TRUE(t.table.loadAll().empty());
    DB other(freshPath("no-table.db"));
    LessonsStatsDBTable missing(other, "sessions");
    LogCapture quiet;
    EXPECT_TRUE(missing.loadAll().empty());
    EXPECT_FALSE(missing.loadLesson(1));
}

}  // namespace
}  // namespace wv
