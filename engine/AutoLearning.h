#pragma once

#include <cstdint>
#include <memory>

#include "engine/LessonInfo.h"
#include "engine/MistypesInfo.h"

namespace wv {

class LangData;
class LessonStats;

// Draws the consequences of each finished line from the last stored lesson record: raises the
// lesson in automatic mode after a line without typos, counts lines with typos in a row, and
// rebuilds the mistyped-letter pools the next line and the keyboard use. Nothing of it is
// saved; every launch starts afresh. Main thread only.
class AutoLearning {
  public:
    // `lessonStats` must outlive this object (the hub owns both).
    explicit AutoLearning(LessonStats& lessonStats);
    virtual ~AutoLearning() = default;
    AutoLearning(const AutoLearning&) = delete;
    AutoLearning& operator=(const AutoLearning&) = delete;

    // The last stored record; null while nothing is stored.
    virtual LessonInfoPtr lastLesson() const;
    // True after three things hold: the last record is fast enough to matter (50 characters
    // per minute or more), it has typos, and the run of lines with typos is 5 or a multiple
    // of 10.
    virtual bool shouldWarnManyTypos() const;

    // Whether the lesson of `langData` is above the one the last record was typed at.
    bool isLevelRaised(const LangData& langData) const;
    // Called after every finished line with the learning language. A line that left no record
    // changes nothing: the last record then belongs to an earlier line, which has already been
    // counted and must not raise the lesson a second time.
    void processLastLesson(LangData& langData);

    int64_t errorSessionCounter = 0;
    LessonStats& lessonStats;

    // The letters the next line practises: every character of the last record's typo pairs,
    // weighing 2, or 4 when it belongs to the lesson's own letter group.
    const std::shared_ptr<MistypesInfo>& mistypesFull() const { return mistypesFull_; }
    // One count per typo of the last record, by the expected character.
    const std::shared_ptr<MistypesInfo>& mistypes() const { return mistypes_; }

  private:
    std::shared_ptr<MistypesInfo> mistypesFull_;
    std::shared_ptr<MistypesInfo> mistypes_;
};

}  // namespace wv
