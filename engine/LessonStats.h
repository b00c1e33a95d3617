#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "engine/LessonInfo.h"
#include "engine/LessonsStatsDBTable.h"
#include "engine/LessonsTree.h"
#include "engine/WVCloudProtocol.h"
#include "storage/DB.h"

namespace wv {

// The stored lesson records of "statistics.db": opened (created or upgraded) once, then kept
// in memory as a list and a tree that grow with every stored line. Not safe for concurrent use.
class LessonStats {
  public:
    LessonStats(std::filesystem::path url, int version);
    virtual ~LessonStats() = default;
    LessonStats(const LessonStats&) = delete;
    LessonStats& operator=(const LessonStats&) = delete;

    // Inserts the row, reads it back and lists, files and (with `push`) queues that record.
    // A failed insert stores nothing further and gives none; so does a row that cannot be
    // read back (its id is still returned).
    std::optional<int64_t> addLesson(const RowDictionary& row, bool push);
    // Stores rows that came from elsewhere as one transaction: each row is inserted and read
    // back, then `link` writes what belongs with it (on the same database) and may refuse.
    // Only after the commit do the records join the list and the tree, in the rows' order;
    // they are never queued. On any failure nothing stays stored and none is returned.
    using LinkStored = std::function<bool(size_t index, const LessonInfo& stored)>;
    std::optional<std::vector<LessonInfoPtr>> addLessonsTogether(
        const std::vector<RowDictionary>& rows, const LinkStored& link);

    // Last minus previous stored record; 0 with fewer than two records, and 0 while the last
    // finished line was not stored, so no change is shown for a line that left no record.
    virtual int accuracyDelta() const;
    virtual int speedDelta() const;
    virtual int typosDelta() const;

    const std::filesystem::path& url() const { return url_; }
    DB& db() { return db_; }
    LessonsStatsDBTable& lessonsDB() { return lessonsDB_; }
    const std::vector<LessonInfoPtr>& lessonsList() const { return lessonsList_; }
    const LessonsTree& lessonsTree() const { return lessonsTree_; }

    // True when the last finished line left no record.
    bool sessionSkipped = false;
    // False while finished lines cannot be written: the file could not be opened or holds no
    // statistics table (it is no database, or its folder cannot be written), or the last
    // insert failed. An insert that succeeds later makes it true again.
    bool canStore() const { return canStore_; }
    // The cloud queue; not owned (the hub owns both and sets it once).
    WVCloudProtocol* cloud = nullptr;

  private:
    template <typename Field>
    int delta(Field field) const;

    std::filesystem::path url_;
    DB db_;
    LessonsStatsDBTable lessonsDB_;
    std::vector<LessonInfoPtr> lessonsList_;
    LessonsTree lessonsTree_;
    bool canStore_ = false;
};

}  // namespace wv
