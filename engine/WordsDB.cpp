#include "engine/WordsDB.h"

#include <map>
#include <utility>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/foundation/Random.h"
#include "platform/foundation/Text.h"
#include "storage/DB.h"
#include "storage/DBTable.h"

namespace wv {

// The open file and its ten tables, "words1" .. "words10", whether or not the file has them.
class WordsDBLazyProxy {
  public:
    explicit WordsDBLazyProxy(const std::filesystem::path& url) : db(url, DB::Access::ReadOnly) {
        // The bundle's files never change while the program runs: hold the shared lock for
        // the connection's life instead of taking it and checking for a journal per statement.
        if (db.isOpen()) db.connection().executeUpdate("PRAGMA locking_mode = EXCLUSIVE");
        for (int i = 1; i <= 10; ++i) {
            tables.push_back(std::make_unique<DBTable>(db, "words" + std::to_string(i)));
            rowCounts.push_back(db.count(tables.back()->name()));
            if (rowCounts.back() == 0) hasEmptyTables = true;
        }
    }

    // A uniformly random word among the rows of table `index` (0..9) whose priority letter is
    // `priority` (any row for an empty one). Instead of ordering every candidate row by
    // random() (a scan and a sort per word), the candidates are counted once, through the
    // priorityChar index, and one of them is read at a random offset.
    std::optional<std::string> randomWord(size_t index, const std::string& priority) {
        const uint64_t n = priority.empty() ? rowCounts[index] : priorityCount(index, priority);
        if (n == 0 || n > UINT32_MAX) return std::nullopt;
        const std::string offset = std::to_string(randomUniform(static_cast<uint32_t>(n)));
        const std::string& table = tables[index]->name();
        auto rs = priority.empty() ? db.connection().executeQuery("SELECT word FROM " + table +
                                                                  " LIMIT 1 OFFSET " + offset)
                                   : db.connection().executeQuery(
                                         "SELECT word FROM " + table +
                                             " WHERE priorityChar = ? LIMIT 1 OFFSET " + offset,
                                         {priority});
        if (!rs || !rs->next()) return std::nullopt;
        return rs->stringForColumnIndex(0);
    }

    DB db;
    bool hasEmptyTables = false;
    std::vector<std::unique_ptr<DBTable>> tables;

  private:
    uint64_t priorityCount(size_t index, const std::string& priority) {
        const auto key = std::make_pair(index, priority);
        if (auto it = priorityCounts.find(key); it != priorityCounts.end()) return it->second;
        uint64_t n = 0;
        if (rowCounts[index] > 0) {
            auto rs = db.connection().executeQuery(
                "SELECT count(*) FROM " + tables[index]->name() + " WHERE priorityChar = ?",
                {priority});
            if (rs && rs->next()) n = rs->unsignedLongLongIntForColumnIndex(0);
        }
        priorityCounts.emplace(key, n);
        return n;
    }

    std::vector<uint64_t> rowCounts;
    std::map<std::pair<size_t, std::string>, uint64_t> priorityCounts;
};

WordsDB::WordsDB(std::string name, Bundle bundle)
    : name_(std::move(name)), bundle_(std::move(bundle)) {}

WordsDB::~WordsDB() = default;

WordsDBLazyProxy& WordsDB::proxyDB() {
    if (!proxyDB_) {
        const std::string resource = "db/" + name_;
        auto url = bundle_.pathForResource(resource, "db");
        if (!url) {
            Log::print("word database missing from the bundle: " + resource +
                       ".db; this level has no words");
            // Read-only: the failed open below creates nothing.
            url = bundle_.root() / (resource + ".db");
        }
        proxyDB_ = std::make_unique<WordsDBLazyProxy>(*url);
    }
    return *proxyDB_;
}

bool WordsDB::hasEmptyTables() { return proxyDB().hasEmptyTables; }

std::optional<std::string> WordsDB::randomWord(int length,
                                               const std::optional<std::string>& priority) {
    if (length < 1 || length > 10) return std::nullopt;
    return proxyDB().randomWord(length - 1, priority.value_or(""));
}

std::optional<std::string> WordsDB::word(int length, const std::optional<std::string>& priority) {
    if (auto w = randomWord(length, priority)) return w;
    if (auto w = randomWord(length, std::nullopt)) return w;
    if (length < 1 || length > 10) return std::nullopt;
    std::string joined;
    // Words after the joined text is longer than the length cannot change the result.
    for (size_t i = 0; i < 10 && text::characterCount(joined) <= static_cast<size_t>(length); ++i) {
        if (auto w = proxyDB().randomWord(i, "")) joined += *w;
    }
    const auto letters = text::characters(joined);
    if (letters.size() <= static_cast<size_t>(length)) return std::nullopt;
    std::string prefix;
    for (int i = 0; i < length; ++i) prefix += letters[i];
    return prefix;
}

}  // namespace wv
