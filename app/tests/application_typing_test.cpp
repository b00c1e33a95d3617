// The whole application on the offscreen platform: a line typed through physical key codes,
// with typos and Delete, down to its stored record and the next line.
#include <gtest/gtest.h>

#include "app/tests/RunningApplication.h"
#include "engine/LineMeasures.h"
#include "platform/sqlite/Database.h"
#include "storage/FS.h"

namespace wv {
namespace {

using test::RunningApplication;

struct LanguageCase {
    const char* name;
    Language language;
    const char* layout;
    // Installed in place of the generated line when set: characters that need particular keys.
    const char* text;
};

void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name; }

class TypingALine : public ::testing::TestWithParam<LanguageCase> {};

struct StoredRow {
    int64_t count = 0, mistakes = 0, accuracy = 0, langId = -1, layoutIdx = -1;
    std::string mistakesChars;
};

StoredRow readSessions() {
    sqlite::Database db(FS::appSupportURL() / "statistics.db");
    StoredRow row;
    if (!db.open(sqlite::Database::Mode::ReadOnly)) return row;
    auto result = db.executeQuery(
        "SELECT mistakes, accuracy, langId, layoutIdx, mistakesChars FROM sessions");
    while (result && result->next()) {
        ++row.count;
        row.mistakes = result->longLongIntForColumn("mistakes");
        row.accuracy = result->longLongIntForColumn("accuracy");
        row.langId = result->longLongIntForColumn("langId");
        row.layoutIdx = result->longLongIntForColumn("layoutIdx");
        row.mistakesChars = result->stringForColumn("mistakesChars").value_or("");
    }
    return row;
}

TEST_P(TypingALine, FromFirstKeyToTheStoredRecordAndTheNextLine) {
    const LanguageCase& c = GetParam();
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    app.hub().config().setLanguage(c.language);
    app.language().selectLayoutByName(c.layout);
    ASSERT_EQ(app.language().keys().layoutData().name(), c.layout);
    screen.applySettingsChange(true);
    if (c.text) {
        app.hub().textLine().setText(c.text);
        screen.resizeUI();
    }

    const std::string line = app.line();
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line, app.hub().textLine().text());
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "0");
    EXPECT_EQ(screen.indicatorAccuracy->stringValue(), "100");
    EXPECT_EQ(screen.indicatorSpeed->stringValue(), "0");

    // Three right keys.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(app.typeExpected()) << i;
    EXPECT_EQ(app.hub().textLine().cursorPos(), 3);
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "0");
    EXPECT_EQ(screen.indicatorAccuracy->stringValue(), "100");

    // A wrong key counts and moves on; Delete steps back without forgiving it.
    const auto expected = *app.hub().textLine().expectedCharacter(false);
    ASSERT_TRUE(app.type(app.wrongSymbolFor(expected)));
    EXPECT_EQ(app.hub().textLine().cursorPos(), 4);
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "1");
    EXPECT_EQ(screen.indicatorAccuracy->stringValue(), std::to_string(accuracyPercent(4, 1)));
    app.key(test::kScanBackspace);
    EXPECT_EQ(app.hub().textLine().cursorPos(), 3);
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "1");

    // A second typo further on, then the rest of the line right.
    ASSERT_TRUE(app.typeExpected());
    ASSERT_TRUE(app.typeExpected());
    const auto second = *app.hub().textLine().expectedCharacter(false);
    ASSERT_TRUE(app.type(app.wrongSymbolFor(second)));
    const int typed = app.hub().textLine().cursorPos();
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "2");
    EXPECT_EQ(screen.indicatorAccuracy->stringValue(), std::to_string(accuracyPercent(typed, 2)));
    EXPECT_EQ(readSessions().count, 0);

    for (int guard = 0; !app.hub().textLine().isComplete() && guard < 400; ++guard)
        ASSERT_TRUE(app.typeExpected()) << "at " << app.hub().textLine().cursorPos();
    ASSERT_TRUE(app.hub().textLine().isComplete());
    const int total = app.hub().textLine().cursorPos();
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "2");
    EXPECT_EQ(screen.indicatorAccuracy->stringValue(), std::to_string(accuracyPercent(total, 2)));

    const StoredRow row = readSessions();
    EXPECT_EQ(row.count, 1);
    EXPECT_EQ(row.mistakes, 2);
    EXPECT_EQ(row.accuracy, accuracyPercent(total, 2));
    EXPECT_EQ(row.langId, rawValue(c.language));
    EXPECT_EQ(row.layoutIdx, app.language().keys().currentLayoutIndex());
    EXPECT_EQ(row.mistakesChars.empty(), false);

    // A letter on a finished line is ignored; Return starts the next line.
    const std::string before = app.line();
    app.type(std::string(*app.language().keys().symbolForKeyCode(0, false, false, false)));
    EXPECT_EQ(app.line(), before);
    app.key(test::kScanReturn);
    EXPECT_EQ(app.hub().textLine().cursorPos(), 0);
    EXPECT_FALSE(app.hub().textLine().isComplete());
    EXPECT_NE(app.line(), "");
    EXPECT_EQ(app.line(), app.hub().textLine().text());
    EXPECT_EQ(screen.indicatorTypos->stringValue(), "0");
    EXPECT_EQ(screen.indicatorAccuracy->stringValue(), "100");
    EXPECT_EQ(readSessions().count, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, TypingALine,
    ::testing::Values(LanguageCase{"English", Language::en, "QWERTY", nullptr},
                      // "^" and "<" sit on the two keys an ISO-drawn table swaps; "ü" and "ß"
                      // have keys of their own.
                      LanguageCase{"GermanQwertz", Language::de, "QWERTZ", "über ^ <ß dass Öl"},
                      LanguageCase{"FrenchDeadKeys", Language::fr, "AZERTY", "la fête être où"},
                      LanguageCase{"Russian", Language::ru, "ЙЦУКЕН Mac", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wv
