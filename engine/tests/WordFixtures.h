#pragma once

// Test helper: a bundle folder of its own with small word databases, written the way the
// build tool writes them (tables words1..words10 with id, word, priorityChar).

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Random.h"
#include "platform/sqlite/Database.h"

namespace wv::testing {

// Rows per word length: (word, priorityChar).
using WordRows = std::map<int, std::vector<std::pair<std::string, std::string>>>;

class FixtureBundle {
  public:
    FixtureBundle() {
        static int serial = 0;
        root_ = std::filesystem::path(std::getenv("XDG_DATA_HOME")) /
                ("bundle" + std::to_string(++serial));
        std::filesystem::create_directories(root_ / "db");
    }

    Bundle bundle() const { return Bundle(root_); }
    std::filesystem::path path(const std::string& name) const {
        return root_ / "db" / (name + ".db");
    }

    // Writes db/<name>.db; tables not in `rows` are created empty unless `withTables` is false.
    void write(const std::string& name, const WordRows& rows, bool withTables = true) const {
        std::filesystem::remove(path(name));
        sqlite::Database db(path(name));
        db.open();
        if (!withTables) return;
        db.executeUpdate("PRAGMA synchronous = OFF");
        db.executeUpdate("BEGIN");
        for (int n = 1; n <= 10; ++n) {
            const std::string table = "words" + std::to_string(n);
            db.executeUpdate("CREATE TABLE " + table +
                             " (id INTEGER PRIMARY KEY, word TEXT, priorityChar TEXT)");
            db.executeUpdate("CREATE INDEX " + table + "_p ON " + table + " (priorityChar)");
            if (auto it = rows.find(n); it != rows.end()) {
                for (const auto& [word, priority] : it->second) {
                    db.executeUpdate("INSERT INTO " + table + " (word, priorityChar) VALUES (?, ?)",
                                     {word, priority});
                }
            }
        }
        db.executeUpdate("COMMIT");
    }

  private:
    std::filesystem::path root_;
};

// Gives the leading values first (checked against nothing), then seeded draws: scripts the
// first decisions of a line and leaves the rest to chance.
class LeadingThenSeeded final : public RandomSource {
  public:
    LeadingThenSeeded(std::vector<uint32_t> leading, uint64_t seed)
        : leading_(std::move(leading)), seeded_(seed) {}
    uint32_t uniform(uint32_t upperBound) override {
        bounds.push_back(upperBound);
        if (next_ < leading_.size()) return leading_[next_++];
        return seeded_.uniform(upperBound);
    }
    std::vector<uint32_t> bounds;

  private:
    std::vector<uint32_t> leading_;
    size_t next_ = 0;
    SeededRandom seeded_;
};

}  // namespace wv::testing
