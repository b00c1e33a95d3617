#include "engine/LessonStats.h"

namespace wv {

LessonStats::LessonStats(std::filesystem::path url, int version)
    : url_(std::move(url)), db_(url_), lessonsDB_(db_, "sessions") {
    lessonsDB_.createOrUpgrade(version);
    canStore_ = db_.isOpen() && db_.tableExists(lessonsDB_.name());
    lessonsList_ = lessonsDB_.loadAll();
    lessonsTree_.addLessons(lessonsList_);
}

std::optional<int64_t> LessonStats::addLesson(const RowDictionary& row, bool push) {
    // Without an id there is nothing to read back: reading "the last row" instead would list
    // and queue the previous record a second time.
    const auto id = db_.insert(row, lessonsDB_.name());
    canStore_ = id.has_value();
    if (!id) return std::nullopt;
    if (auto lesson = lessonsDB_.loadLesson(*id)) {
        lessonsList_.push_back(lesson);
        lessonsTree_.add(lesson);
        if (push && cloud) cloud->addLesson(lesson);
    }
    return id;
}

std::optional<std::vector<LessonInfoPtr>> LessonStats::addLessonsTogether(
    const std::vector<RowDictionary>& rows, const LinkStored& link) {
    auto transaction = db_.transaction();
    if (!transaction.isActive()) return std::nullopt;
    std::vector<LessonInfoPtr> stored;
    stored.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto id = db_.insert(rows[i], lessonsDB_.name());
        if (!id) return std::nullopt;
        auto lesson = lessonsDB_.loadLesson(*id);
        if (!lesson || (link && !link(i, *lesson))) return std::nullopt;
        stored.push_back(std::move(lesson));
    }
    if (!transaction.commit()) return std::nullopt;
    canStore_ = true;
    for (const auto& lesson : stored) {
        lessonsList_.push_back(lesson);
        lessonsTree_.add(lesson);
    }
    return stored;
}

template <typename Field>
int LessonStats::delta(Field field) const {
    if (sessionSkipped || lessonsList_.size() < 2) return 0;
    const auto& last = *lessonsList_[lessonsList_.size() - 1];
    const auto& previous = *lessonsList_[lessonsList_.size() - 2];
    return last.*field - previous.*field;
}

int LessonStats::accuracyDelta() const { return delta(&LessonInfo::accuracy); }
int LessonStats::speedDelta() const { return delta(&LessonInfo::speedCPM); }
int LessonStats::typosDelta() const { return delta(&LessonInfo::mistypesCount); }

}  // namespace wv
