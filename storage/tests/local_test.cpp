#include "storage/Local.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "storage/LocalizedWindows.h"

namespace wv {
namespace {

const char* const kLocaleVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};

using Env = std::map<std::string, std::string>;

// Sets the locale variables for one test and puts the old ones back.
class ScopedLocale {
public:
    explicit ScopedLocale(const Env& values) {
        for (const char* v : kLocaleVariables) {
            if (const char* old = getenv(v)) saved_[v] = old;
            unsetenv(v);
        }
        for (const auto& [k, v] : values) setenv(k.c_str(), v.c_str(), 1);
    }
    ~ScopedLocale() {
        for (const char* v : kLocaleVariables) unsetenv(v);
        for (const auto& [k, v] : saved_) setenv(k.c_str(), v.c_str(), 1);
    }

private:
    std::map<std::string, std::string> saved_;
};

struct FakeWindow : Localizable {
    std::function<void()> onLocalize;
    int calls = 0;
    void localizeCaptions() override {
        ++calls;
        if (onLocalize) onLocalize();
    }
};

struct FakeDelegate : MenuLocalizable {
    std::function<void()> onLocalize;
    int calls = 0;
    void localizeMenuItems() override {
        ++calls;
        if (onLocalize) onLocalize();
    }
};

const char* const kTable =
    "id,en,ua,ru,de\n"
    "menuQuit,Quit,Вийти,Выйти,Beenden\n"
    "onlyEnglish,Only English,,,\n"
    "emptyEverywhere,,,,\n"
    "dup,First,Перший,Первый,Erste\n"
    "dup,Second,Другий,Второй\n"  // short row: no German field, which removes the earlier one
    "\"multi\",\"Line one,\nline two\",\"Рядок\",,\n";

class LocalTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("wv-local-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_);
        savedUses_ = localUsesLearningLanguage;
        savedLearning_ = localLearningLanguage;
    }
    void TearDown() override {
        Local::replaceShared(nullptr);
        localUsesLearningLanguage = savedUses_;
        localLearningLanguage = savedLearning_;
        LocalizedWindows::shared().setApplicationDelegate(nullptr);
        for (Localizable* c : LocalizedWindows::shared().controllers())
            LocalizedWindows::shared().remove(c);
        std::filesystem::remove_all(dir_);
    }

    std::filesystem::path write(const std::string& text) {
        const auto path = dir_ / "Localizations.csv";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // A `Local` over `text` that is also the shared instance, as in the program.
    Local& make(const std::string& text) {
        local_.emplace(write(text));
        Local::replaceShared(&*local_);
        return *local_;
    }

    std::filesystem::path dir_;
    std::optional<Local> local_;
    std::function<bool()> savedUses_;
    std::function<std::string()> savedLearning_;
};

TEST_F(LocalTest, TextsComeFromTheCurrentColumn) {
    Local& local = make(kTable);
    local.setInterfaceLanguage("ua");
    EXPECT_EQ(local.localize("menuQuit"), "Вийти");
    EXPECT_EQ(local.valueForKey("multi"), "Рядок");
    local.setInterfaceLanguage("de");
    EXPECT_EQ(local.localize("menuQuit"), "Beenden");
    local.setInterfaceLanguage("en");
    EXPECT_EQ(local.localize("multi"), "Line one,\nline two");
}

TEST_F(LocalTest, AMissingKeyPrintsItsMessageOncePerLookupAndReturnsTheKey) {
    Local& local = make(kTable);
    local.setInterfaceLanguage("ru");
    LogCapture log;
    EXPECT_EQ(local.localize("noSuchKey"), "noSuchKey");
    EXPECT_EQ(local.valueForKey("noSuchKey"), "noSuchKey");
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"ACHTUNG in Local: can't find value for key noSuchKey",
                                        "ACHTUNG in Local: can't find value for key noSuchKey"}));
}

TEST_F(LocalTest, AnEmptyCellFallsBackToEnglishAndAnEmptyEnglishCellGivesEmptyText) {
    Local& local = make(kTable);
    local.setInterfaceLanguage("ua");
    LogCapture log;
    EXPECT_EQ(local.localize("onlyEnglish"), "Only English");
    EXPECT_EQ(local.localize("emptyEverywhere"), "");
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(LocalTest, AMissingColumnPrintsItsMessageOnceAndUsesEnglish) {
    Local& local = make(kTable);
    LogCapture log;
    local.setInterfaceLanguage("fr");
    local.setInterfaceLanguage("de");
    local.setInterfaceLanguage("fr");
    EXPECT_EQ(local.localize("menuQuit"), "Quit");
    EXPECT_EQ(log.lines(), std::vector<std::string>{
                               "ACHTUNG! PZDZ!!! Can't read data from csv for language : fr"});
}

TEST_F(LocalTest, TheLaterDuplicateRowWinsAndALackingFieldRemovesTheEarlierText) {
    Local& local = make(kTable);
    local.setInterfaceLanguage("ru");
    EXPECT_EQ(local.localize("dup"), "Второй");
    local.setInterfaceLanguage("de");
    EXPECT_EQ(local.localize("dup"), "Second");  // German text removed: English
}

TEST_F(LocalTest, RowsWithoutAKeyAreIgnored) {
    // The key column need not come first; a row too short to reach it has no key.
    Local& local = make("en,id,de\nOrphan\nHello,hello,Hallo\n");
    local.setInterfaceLanguage("de");
    EXPECT_EQ(local.readLanguageColumn("en"), (Local::Column{{"hello", "Hello"}}));
    EXPECT_EQ(local.localize("hello"), "Hallo");
}

TEST_F(LocalTest, AMissingOrBrokenTableLeavesEveryLookupWithItsKey) {
    for (const std::optional<std::string>& text :
         {std::optional<std::string>(), std::optional<std::string>("id,en\nk,\"open\n")}) {
        LogCapture log;
        std::optional<Local> local;
        if (text) {
            local.emplace(write(*text));
        } else {
            local.emplace(dir_ / "missing.csv");
        }
        Local::replaceShared(&*local);
        local->setInterfaceLanguage("de");
        EXPECT_EQ(local->localize("k"), "k");
        EXPECT_EQ(log.lines(), (std::vector<std::string>{
                                   "Can't read Localizations file",
                                   "ACHTUNG! PZDZ!!! Can't read data from csv for language : en",
                                   "ACHTUNG! PZDZ!!! Can't read data from csv for language : de",
                                   "ACHTUNG in Local: can't find value for key k"}));
        Local::replaceShared(nullptr);
    }
}

struct SystemCase {
    std::map<std::string, std::string> env;
    std::optional<std::string> code;
    std::string language;
};

TEST_F(LocalTest, TheSystemLanguageComesFromTheLocale) {
    const SystemCase cases[] = {
        {{{"LANG", "uk_UA.UTF-8"}}, "uk", "ua"},
        {{{"LANG", "ru_RU.UTF-8"}}, "ru", "ru"},
        {{{"LANG", "de_AT.UTF-8@euro"}}, "de", "de"},
        {{{"LANG", "en_GB.UTF-8"}}, "en", "en"},
        {{{"LANG", "fr_FR.UTF-8"}}, "fr", "en"},  // only en, uk, ru and de are recognised
        {{{"LANG", "ua_UA.UTF-8"}}, "ua", "en"},  // not the ISO code of Ukrainian
        {{{"LANG", "DE_de"}}, "DE", "en"},        // compared exactly
        {{{"LANG", "de"}}, "de", "de"},
        {{{"LANG", "C.UTF-8"}}, std::nullopt, "en"},
        {{{"LANG", "POSIX"}}, std::nullopt, "en"},
        {{}, std::nullopt, "en"},
        {{{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "ru_RU.UTF-8"}}, "ru", "ru"},
        {{{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "ru_RU"}, {"LC_ALL", "uk_UA"}}, "uk", "ua"},
        {{{"LANG", "de_DE.UTF-8"}, {"LC_ALL", ""}}, "de", "de"},  // an empty variable is unset
    };
    for (const auto& c : cases) {
        ScopedLocale locale(c.env);
        SCOPED_TRACE(c.language + " from " + c.code.value_or("(none)"));
        EXPECT_EQ(Local::systemLanguageCode(), c.code);
        EXPECT_EQ(Local::systemInterfaceLanguage(), c.language);
    }
}

TEST_F(LocalTest, SwitchingToTheSystemLanguagePrintsTheCodeAndReLocalises) {
    Local& local = make(kTable);
    ScopedLocale locale(Env{{"LANG", "uk_UA.UTF-8"}});
    FakeWindow window;
    FakeDelegate delegate;
    LocalizedWindows::shared().add(&window);
    LocalizedWindows::shared().setApplicationDelegate(&delegate);
    LogCapture log;
    Local::switchToSystemLanguage();
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"Localization: switching to system language uk"});
    EXPECT_EQ(local.localize("menuQuit"), "Вийти");
    EXPECT_EQ(window.calls, 1);
    EXPECT_EQ(delegate.calls, 1);
}

TEST_F(LocalTest, TheFirstLookupChoosesTheSystemLanguageOnceAndNestedLookupsDoNotChooseAgain) {
    Local& local = make(kTable);
    ScopedLocale locale(Env{{"LC_ALL", "de_DE.UTF-8"}});
    FakeWindow window;
    std::vector<std::string> captions;
    window.onLocalize = [&] { captions.push_back(Local::shared().localize("menuQuit")); };
    FakeDelegate delegate;
    delegate.onLocalize = [&] { captions.push_back(Local::shared().localize("menuQuit")); };
    LocalizedWindows::shared().add(&window);
    LocalizedWindows::shared().setApplicationDelegate(&delegate);
    LogCapture log;
    EXPECT_EQ(local.localize("menuQuit"), "Beenden");
    EXPECT_EQ(local.localize("dup"), "Second");
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"Localization: switching to system language de"});
    EXPECT_EQ(captions, (std::vector<std::string>{"Beenden", "Beenden"}));
}

TEST_F(LocalTest, TheFirstLookupFollowsTheLearningLanguageWhenTheHookSaysSo) {
    Local& local = make(kTable);
    ScopedLocale locale(Env{{"LANG", "de_DE.UTF-8"}});
    std::string learning = "ru";
    localUsesLearningLanguage = [] { return true; };
    localLearningLanguage = [&] { return learning; };  // read at every use
    FakeWindow window;
    LocalizedWindows::shared().add(&window);
    LogCapture log;
    EXPECT_EQ(local.localize("menuQuit"), "Выйти");
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(window.calls, 1);
    learning = "ua";
    EXPECT_EQ(local.localize("menuQuit"), "Выйти");  // a current column is kept
}

TEST_F(LocalTest, ALocaleChangeReLocalisesWindowsButKeepsTheLanguage) {
    Local& local = make(kTable);
    local.setInterfaceLanguage("ru");
    ScopedLocale locale(Env{{"LANG", "de_DE.UTF-8"}});
    FakeWindow first;
    FakeWindow second;
    FakeDelegate delegate;
    std::vector<std::string> order;
    first.onLocalize = [&] { order.push_back("first " + Local::shared().localize("menuQuit")); };
    second.onLocalize = [&] { order.push_back("second"); };
    delegate.onLocalize = [&] { order.push_back("menu"); };
    LocalizedWindows::shared().add(&first);
    LocalizedWindows::shared().add(&second);
    LocalizedWindows::shared().setApplicationDelegate(&delegate);
    LogCapture log;
    NotificationCenter::defaultCenter().post(std::string(kCurrentLocaleDidChangeNotification));
    EXPECT_EQ(order, (std::vector<std::string>{"first Выйти", "second", "menu"}));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(LocalTest, AWindowClosedDuringReLocalisationIsPassedOver) {
    make(kTable).setInterfaceLanguage("en");
    FakeWindow first;
    FakeWindow second;
    first.onLocalize = [&] { LocalizedWindows::shared().remove(&second); };
    LocalizedWindows::shared().add(&first);
    LocalizedWindows::shared().add(&second);
    LocalizedWindows::shared().add(&first);  // listed once
    Local::refreshLocalizedWindows();
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 0);
}

TEST_F(LocalTest, ADestroyedLocalNoLongerHearsTheLocaleSignal) {
    int before = 0;
    {
        Local local(write(kTable));
        FakeWindow window;
        LocalizedWindows::shared().add(&window);
        NotificationCenter::defaultCenter().post(std::string(kCurrentLocaleDidChangeNotification));
        before = window.calls;
        LocalizedWindows::shared().remove(&window);
    }
    EXPECT_EQ(before, 1);
    FakeWindow window;
    LocalizedWindows::shared().add(&window);
    NotificationCenter::defaultCenter().post(std::string(kCurrentLocaleDidChangeNotification));
    EXPECT_EQ(window.calls, 0);
}

}  // namespace
}  // namespace wv

namespace wv {
namespace {

TEST(LocalBundle, TheShippedTableIsFoundInTheBundleAndTranslates) {
    LogCapture log;
    Local local;
    local.setInterfaceLanguage("ua");
    EXPECT_EQ(local.localize("menuQuit"), "Вийти з Wovanu Typing");
    local.setInterfaceLanguage("pr");
    EXPECT_EQ(local.localize("sidebarLesson"), "Lição #");
    EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace wv
