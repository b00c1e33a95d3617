// The whole application on the offscreen platform: a line typed through physical key codes,
// with typos and Delete, down to its stored record and the next line.
#include <gtest/gtest.h>

#include <QDir>
#include <QPaintEvent>
#include <QRegion>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include "app/AppDelegate.h"
#include "app/WVFingersView.h"
#include "app/WVKeyboardView.h"
#include "app/tests/RunningApplication.h"
#include "engine/LineMeasures.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/Database.h"
#include "platform/ui/MenuItem.h"
#include "storage/FS.h"
#include "storage/Local.h"

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
    EXPECT_TRUE(screen.linesNotSavedLabel->isHidden());

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

// ---- Broken profiles

namespace fs = std::filesystem;

fs::path supportFolder() { return Folders::dataHome() / "com.wovanu.typing"; }

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool inside(const Rect& inner, const Rect& outer) {
    return inner.minX() >= outer.minX() && inner.maxX() <= outer.maxX() &&
           inner.minY() >= outer.minY() && inner.maxY() <= outer.maxY();
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void typeTheWholeLine(RunningApplication& app) {
    for (int guard = 0; !app.hub().textLine().isComplete() && guard < 400; ++guard)
        ASSERT_TRUE(app.typeExpected());
    ASSERT_TRUE(app.hub().textLine().isComplete());
}

// Each lays a broken profile in the data folder and gives the file that must stay as it was.
fs::path randomBytesForStatistics(const fs::path& folder) {
    fs::create_directories(folder);
    std::mt19937 random(32);
    std::string bytes(8192, '\0');
    for (char& byte : bytes) byte = char(random());
    writeBytes(folder / "statistics.db", bytes);
    return folder / "statistics.db";
}

fs::path aFileWhereTheDataFolderBelongs(const fs::path& folder) {
    fs::create_directories(folder.parent_path());
    writeBytes(folder, "not a folder\n");
    return folder;
}

// Stands for a data folder that cannot be written, which root (the tests' user) writes all
// the same: the statistics read as usual, but every insert is refused.
fs::path insertsRefused(const fs::path& folder) {
    fs::create_directories(folder);
    {
        LogCapture quiet;
        LessonStats store(folder / "statistics.db", 4);
        store.db().connection().executeUpdate(
            "CREATE TRIGGER refuse BEFORE INSERT ON sessions BEGIN SELECT RAISE(ABORT, 'refused'); "
            "END");
    }
    return folder / "statistics.db";
}

struct BrokenProfile {
    const char* name;
    fs::path (*lay)(const fs::path& folder);
    // Whether the screen can tell before the first line is finished.
    bool knownAtStart;
};

void PrintTo(const BrokenProfile& c, std::ostream* os) { *os << c.name; }

class StatisticsThatCannotBeWritten : public ::testing::TestWithParam<BrokenProfile> {};

TEST_P(StatisticsThatCannotBeWritten, TheScreenSaysSoAndTheFileStaysAsItWas) {
    const BrokenProfile& c = GetParam();
    const fs::path damaged = c.lay(supportFolder());
    const std::string before = bytesOf(damaged);
    RunningApplication app;
    WVMainViewController& screen = app.screen();
    EXPECT_EQ(screen.linesNotSavedLabel->isHidden(), !c.knownAtStart);

    typeTheWholeLine(app);
    EXPECT_EQ(screen.indicatorAccuracy->stringValue(), "100");
    EXPECT_TRUE(app.hub().stats().lessonsList().empty());
    ASSERT_FALSE(screen.linesNotSavedLabel->isHidden());
    const std::string file = (supportFolder() / "statistics.db").string();
    auto expected = [&](const std::string& text) {
        return text.substr(0, text.find('#')) + file + text.substr(text.find('#') + 1);
    };
    EXPECT_EQ(screen.linesNotSavedLabel->stringValue(),
              expected(Local::shared().localize("mainLinesNotSaved")));
    EXPECT_TRUE(inside(screen.linesNotSavedLabel->frame(), screen.view()->bounds()));
    EXPECT_GE(screen.indicatorsView->frame().minY(), 0.0);
    EXPECT_LE(screen.indicatorsView->frame().maxY(), screen.linesNotSavedLabel->frame().minY())
        << "over the indicators, not on them";
    QDir().mkpath("screenshots");
    screen.view()->snapshot(1.0).save(
        QString::fromStdString("screenshots/lines_not_saved_" + std::string(c.name) + ".png"));

    // The next line says it too, and in the interface language the learner picks.
    app.key(test::kScanReturn);
    EXPECT_FALSE(screen.linesNotSavedLabel->isHidden());
    app.hub().config().setLanguage(Language::de);
    app.app.delegate().menuItemLangLearning->perform();
    EXPECT_EQ(screen.linesNotSavedLabel->stringValue(),
              expected(Local::shared().readLanguageColumn("de").at("mainLinesNotSaved")));

    EXPECT_EQ(bytesOf(damaged), before);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, StatisticsThatCannotBeWritten,
    ::testing::Values(BrokenProfile{"RandomBytes", randomBytesForStatistics, true},
                      BrokenProfile{"DataFolderIsAFile", aFileWhereTheDataFolderBelongs, true},
                      BrokenProfile{"InsertsRefused", insertsRefused, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The learner's settings, lesson 4 without automatic difficulty, cut short on the disk.
TEST(BrokenSettings, AFileCutShortIsKeptAsideBeforeTheDefaultsReplaceIt) {
    fs::create_directories(supportFolder());
    const fs::path config = supportFolder() / "config.plist";
    plist::Dictionary settings;
    settings.set("language", int64_t(0));
    settings.set("pressEnterCounter", int64_t(1));
    settings.set("difficultyEng", int64_t(3));
    settings.set("difficultyEngAuto", false);
    ASSERT_TRUE(plist::writeFile(config, plist::Value(settings)));
    const std::string whole = bytesOf(config);
    const std::string cut = whole.substr(0, whole.size() / 2);
    writeBytes(config, cut);

    LogCapture log;
    RunningApplication app;
    const fs::path kept = supportFolder() / "config.plist.unreadable";
    EXPECT_EQ(bytesOf(kept), cut);
    EXPECT_TRUE(log.contains("Unreadable config file kept as : " + kept.string()));
    // Read as a first launch: the defaults hold, and are written once something changes.
    EXPECT_EQ(app.language().difficulty(), 0);
    typeTheWholeLine(app);
    app.key(test::kScanReturn);
    app.app.terminate();
    ASSERT_TRUE(plist::readFile(config));
    EXPECT_EQ(bytesOf(kept), cut);
}

// Where paint events of the window fall while it runs, in the keyboard's coordinates.
class KeyboardRepaints : public QObject {
  public:
    explicit KeyboardRepaints(QWidget* keyboard) : keyboard_(keyboard) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~KeyboardRepaints() override { QCoreApplication::instance()->removeEventFilter(this); }
    QRegion painted;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && object->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(object);
            painted += static_cast<QPaintEvent*>(event)->region().translated(
                widget->mapTo(widget->window(), QPoint(0, 0)) -
                keyboard_->mapTo(keyboard_->window(), QPoint(0, 0)));
        }
        return false;
    }

  private:
    QWidget* keyboard_;
};

double shareOf(const QRegion& region, const QRect& whole) {
    double sum = 0;
    for (const QRect& r : region& whole) sum += double(r.width()) * r.height();
    return sum / (double(whole.width()) * whole.height());
}

// The hands on, and a second of frames so that their appearance has ended.
void showHandsAndSettle(RunningApplication& app) {
    app.hub().config().setHandsOn(true);
    for (int i = 0; i < 60; ++i) {
        app.loop.advance(1.0 / 60);
        QCoreApplication::processEvents();
    }
}

// Types the expected key and lets a frame pass (the pulse moves to the next key on the main
// queue): the share of the keyboard drawn again, or -1 when there was no key to type.
double typeAndShareRedrawn(RunningApplication& app, QWidget* keyboard) {
    KeyboardRepaints repaints(keyboard);
    if (!app.typeExpected()) return -1;
    app.loop.advance(1.0 / 60);
    QCoreApplication::processEvents();
    return shareOf(repaints.painted, QRect(QPoint(0, 0), keyboard->size()));
}

// With the hands shown and the next key pulsing, a right key in the middle of the line moves
// the pulse and the lit finger: that, not the whole keyboard under the hands, is drawn again.
TEST(KeyPressRepaint, ARightKeyRedrawsOnlyAFewKeysAndFingers) {
    RunningApplication app;
    showHandsAndSettle(app);
    QWidget* keyboard = app.screen().keyboard;
    double largest = 0;
    for (int press = 0; press < 12; ++press) {
        const double share = typeAndShareRedrawn(app, keyboard);
        ASSERT_GE(share, 0.0) << "the expected key was typed";
        ASSERT_FALSE(app.hub().textLine().isComplete());
        EXPECT_GT(share, 0.0) << "the pulse moved";
        largest = std::max(largest, share);
    }
    EXPECT_LT(largest, 0.3) << "of the keyboard drawn again for one key";
}

// The key that ends a line hides the hands and shows the typo heat map, and Return brings the
// hands back with the next line's captions: what the hands cover and the keys whose look
// changed are drawn again, not the whole keyboard.
TEST(KeyPressRepaint, ALineChangeRedrawsOnlyTheHandsAndTheKeysThatChanged) {
    RunningApplication app;
    showHandsAndSettle(app);
    QWidget* keyboard = app.screen().keyboard;
    const QRect whole(QPoint(0, 0), keyboard->size());
    double lineEnd = 0;
    while (!app.hub().textLine().isComplete()) {
        lineEnd = typeAndShareRedrawn(app, keyboard);
        ASSERT_GE(lineEnd, 0.0) << "the expected key was typed";
    }
    ASSERT_TRUE(app.screen().fingersView->isHidden()) << "the hands go with the line";
    EXPECT_LT(lineEnd, 0.6) << "of the keyboard drawn again by the key that ends the line";

    KeyboardRepaints repaints(keyboard);
    // A second Return when the first showed the tip of a new lesson.
    for (int i = 0; i < 2 && app.hub().textLine().isComplete(); ++i) {
        app.key(test::kScanReturn);
        app.loop.advance(1.0 / 60);
        QCoreApplication::processEvents();
    }
    ASSERT_FALSE(app.screen().fingersView->isHidden()) << "the hands come back";
    EXPECT_LT(shareOf(repaints.painted, whole), 0.6) << "drawn again for the next line";
}

}  // namespace
}  // namespace wv
