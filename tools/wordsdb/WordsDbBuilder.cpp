#include "tools/wordsdb/WordsDbBuilder.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <system_error>

#include "platform/foundation/Text.h"
#include "platform/sqlite/Database.h"

namespace wv::tools {

namespace {

constexpr int kTables = 10;
constexpr int kLastLevel = 5;

std::string tableName(int length) { return "words" + std::to_string(length); }

}  // namespace

int WordsDbBuilder::groupOf(char32_t letter) const {
    for (int i = 0; i < static_cast<int>(groups_.size()); ++i) {
        if (text::toUtf32(groups_[i]).find(letter) != std::u32string::npos) return i;
    }
    return -1;
}

std::vector<std::vector<WordsDbBuilder::Row>> WordsDbBuilder::select(
    const std::vector<std::string>& words, int level) const {
    std::vector<std::vector<Row>> tables(kTables);
    std::map<std::pair<size_t, char32_t>, size_t> perLetter;
    std::vector<size_t> lower(kTables, 0);
    std::set<std::string> seen;
    for (const auto& word : words) {
        if (word.empty() || text::nfc(word) != word || !seen.insert(word).second) continue;
        const std::u32string letters = text::toUtf32(word);
        if (letters.size() > static_cast<size_t>(kTables)) continue;
        int top = -1;
        bool known = true;
        for (char32_t c : letters) {
            const int group = groupOf(c);
            known = known && group >= 0;
            top = std::max(top, group);
        }
        if (!known || top > level) continue;
        auto& table = tables[letters.size() - 1];
        if (top == level) {
            std::set<char32_t> done;
            for (char32_t c : letters) {
                if (groupOf(c) != level || !done.insert(c).second) continue;
                size_t& n = perLetter[{letters.size(), c}];
                if (n >= caps_.perLetterAndLength) continue;
                ++n;
                table.push_back({word, text::toUtf8(c)});
            }
        } else if (level == kLastLevel && lower[letters.size() - 1] < caps_.lowerPerLength) {
            ++lower[letters.size() - 1];
            const auto it = std::find_if(letters.begin(), letters.end(),
                                         [&](char32_t c) { return groupOf(c) == top; });
            table.push_back({word, text::toUtf8(*it)});
        }
    }
    return tables;
}

WordsDbBuilder::Result WordsDbBuilder::build(const std::vector<std::string>& words, int level,
                                             const std::filesystem::path& path) const {
    Result result;
    result.words = std::set<std::string>(words.begin(), words.end()).size();
    const auto tables = select(words, level);

    std::filesystem::path temporary = path;
    temporary += ".tmp";
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);

    auto fail = [&](std::string message) {
        result.error = std::move(message);
        std::filesystem::remove(temporary, ignored);
        return result;
    };
    {
        sqlite::Database db(temporary);
        if (!db.open(sqlite::Database::Mode::ReadWriteCreate)) {
            return fail("cannot create " + temporary.string());
        }
        auto run = [&](const std::string& sql, const std::vector<sqlite::Value>& args = {}) {
            if (db.executeUpdate(sql, args)) return true;
            result.error = sql + ": " + db.lastErrorMessage();
            return false;
        };
        if (!run("PRAGMA page_size = 1024") || !run("BEGIN")) return fail(result.error);
        for (int n = 1; n <= kTables; ++n) {
            const std::string name = tableName(n);
            if (!run("CREATE TABLE " + name +
                     " (id INTEGER PRIMARY KEY, word TEXT NOT NULL, priorityChar TEXT NOT NULL)")) {
                return fail(result.error);
            }
            for (const auto& row : tables[n - 1]) {
                if (!run("INSERT INTO " + name + " (word, priorityChar) VALUES (?, ?)",
                         {row.word, row.priority})) {
                    return fail(result.error);
                }
            }
            // Lets a lookup restricted to one letter read only that letter's rows.
            if (!run("CREATE INDEX " + name + "_priorityChar ON " + name + " (priorityChar)")) {
                return fail(result.error);
            }
            result.rowsPerTable.push_back(tables[n - 1].size());
        }
        if (!run("COMMIT") || !run("VACUUM")) return fail(result.error);
    }
    std::filesystem::rename(temporary, path, ignored);
    if (ignored) return fail("cannot rename to " + path.string() + ": " + ignored.message());
    result.ok = true;
    return result;
}

}  // namespace wv::tools
