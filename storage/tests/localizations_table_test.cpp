// The shipped table against the code: every key the code looks up has an English text, and
// every translation keeps the placeholders its English text has.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/csv/CSV.h"

namespace wv {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kLanguages = {"en", "ua", "ru", "de", "es",
                                             "fr", "gr", "tr", "it", "pr"};
const char* const kPlaceholders[] = {"#", "$"};

struct KeyUse {
    std::string key;
    std::string where;  // file:line
};

// Keys passed as literals to the lookup calls, in every source file under `root` except tests
// (which look up missing keys on purpose) and build trees.
std::vector<KeyUse> keysInSources(const fs::path& root) {
    static const std::regex call(R"re(\b(?:localize|valueForKey)\(\s*"([^"\\]*)"\s*\))re");
    static const std::set<std::string> extensions = {".cpp", ".h", ".hpp", ".cc"};
    std::vector<KeyUse> uses;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() &&
            (name == "tests" || name.starts_with("build") || name.starts_with("."))) {
            it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file() || !extensions.count(it->path().extension().string())) continue;
        std::ifstream in(it->path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            for (std::sregex_iterator m(line.begin(), line.end(), call), end; m != end; ++m) {
                uses.push_back({(*m)[1], fs::relative(it->path(), root).string() + ":" +
                                             std::to_string(number)});
            }
        }
    }
    return uses;
}

std::map<std::string, CSV::Row> tableById(const CSV& table) {
    std::map<std::string, CSV::Row> rows;
    table.enumerateAsDict([&](const CSV::Row& row) {
        if (auto id = row.find("id"); id != row.end()) rows[id->second] = row;
    });
    return rows;
}

// What is wrong with the table for the keys used; empty when nothing is.
std::vector<std::string> problems(const std::map<std::string, CSV::Row>& rows,
                                  const std::vector<KeyUse>& uses) {
    std::vector<std::string> found;
    for (const auto& use : uses) {
        auto row = rows.find(use.key);
        if (row == rows.end() || !row->second.count("en") || row->second.at("en").empty()) {
            found.push_back(use.where + ": no English text for \"" + use.key + "\"");
            continue;
        }
        const std::string& english = row->second.at("en");
        for (const char* mark : kPlaceholders) {
            if (english.find(mark) == std::string::npos) continue;
            for (const auto& [column, text] : row->second) {
                // An empty cell shows the English text, placeholder and all.
                if (column == "id" || text.empty() || text.find(mark) != std::string::npos)
                    continue;
                found.push_back(use.where + ": \"" + use.key + "\" in " + column + " lacks " +
                                mark);
            }
        }
    }
    return found;
}

const fs::path kSourceRoot = WOVANU_SOURCE_DIR;

std::optional<CSV> shippedTable() {
    return CSV::fromFile(kSourceRoot / "resources" / "Localizations.csv");
}

TEST(LocalizationsTable, EveryKeyLookedUpInTheCodeHasAnEnglishText) {
    auto table = shippedTable();
    ASSERT_TRUE(table);
    const auto uses = keysInSources(kSourceRoot);
    for (const auto& p : problems(tableById(*table), uses)) ADD_FAILURE() << p;
}

TEST(LocalizationsTable, HasTheKeyAndAllTenLanguageColumnsInOrder) {
    auto table = shippedTable();
    ASSERT_TRUE(table);
    std::vector<std::string> expected = {"id"};
    expected.insert(expected.end(), kLanguages.begin(), kLanguages.end());
    EXPECT_EQ(table->header(), expected);
}

TEST(LocalizationsTable, EveryRowIsTranslatedOnceWithTheEnglishPlaceholders) {
    auto table = shippedTable();
    ASSERT_TRUE(table);
    std::set<std::string> ids;
    size_t rows = 0;
    table->enumerateAsDict([&](const CSV::Row& row) {
        ++rows;
        const std::string id = row.count("id") ? row.at("id") : "";
        EXPECT_FALSE(id.empty()) << "row " << rows;
        EXPECT_TRUE(ids.insert(id).second) << "duplicate key " << id;
        for (const auto& language : kLanguages) {
            ASSERT_TRUE(row.count(language)) << id << " lacks " << language;
            EXPECT_FALSE(row.at(language).empty()) << id << " has no " << language << " text";
        }
        for (const char* mark : kPlaceholders) {
            const bool inEnglish = row.at("en").find(mark) != std::string::npos;
            for (const auto& language : kLanguages) {
                EXPECT_EQ(row.at(language).find(mark) != std::string::npos, inEnglish)
                    << id << " in " << language << ": placeholder " << mark;
            }
        }
    });
    EXPECT_GT(rows, 0u);
}

TEST(LocalizationsTable, TheScanFindsLiteralKeysAndReportsThoseWithoutText) {
    const fs::path root = fs::temp_directory_path() / "wv-localization-scan";
    fs::remove_all(root);
    fs::create_directories(root / "screens" / "tests");
    fs::create_directories(root / "build" / "gen");
    std::ofstream(root / "screens" / "Menu.cpp")
        << "void f() {\n"
        << "    title = Local::shared().localize(\"menuQuit\");\n"
        << "    a = local.valueForKey( \"onlyKey\" ); b = localize(\"noEnglish\");\n"
        << "    c = localize(name);  // not a literal: nothing to check here\n"
        << "    d = localize(\"lesson\") + localize(\"letters\");\n"
        << "}\n";
    std::ofstream(root / "screens" / "notes.txt") << "localize(\"ignored\")\n";
    std::ofstream(root / "screens" / "tests" / "menu_test.cpp")
        << "localize(\"missingOnPurpose\")\n";
    std::ofstream(root / "build" / "gen" / "x.cpp") << "localize(\"generated\")\n";

    const auto uses = keysInSources(root);
    std::vector<std::string> keys;
    for (const auto& u : uses) keys.push_back(u.key + "@" + u.where);
    EXPECT_EQ(keys,
              (std::vector<std::string>{"menuQuit@screens/Menu.cpp:2", "onlyKey@screens/Menu.cpp:3",
                                        "noEnglish@screens/Menu.cpp:3", "lesson@screens/Menu.cpp:5",
                                        "letters@screens/Menu.cpp:5"}));

    auto table = CSV::fromString(
        "id,en,de,fr\nmenuQuit,Quit,Beenden,Quitter\nnoEnglish,,Kein,Non\n"
        "lesson,Lesson #,Lektion,\nletters,Letters: $,Buchstaben: $,Lettres : $\n");
    ASSERT_TRUE(table);
    EXPECT_EQ(problems(tableById(*table), uses),
              (std::vector<std::string>{"screens/Menu.cpp:3: no English text for \"onlyKey\"",
                                        "screens/Menu.cpp:3: no English text for \"noEnglish\"",
                                        "screens/Menu.cpp:5: \"lesson\" in de lacks #"}));
    fs::remove_all(root);
}

}  // namespace
}  // namespace wv
