#include "cloud/WVCloudLessonPusher.h"

#include <unordered_set>

#include "cloud/LessonRecord.h"
#include "platform/foundation/Log.h"

namespace wv {

WVCloudLessonPusher::WVCloudLessonPusher(ck::Database& cloudDB, LessonStats& localStats,
                                         std::string recordType)
    : iCloudPusher(cloudDB, 400),
      cloudSyncDB_(localStats.db()),
      pendingNames_(localStats.db()),
      localStats_(localStats),
      recordType_(std::move(recordType)) {}

void WVCloudLessonPusher::pushLessons(std::vector<LessonInfoPtr> lessons, Completion completion) {
    if (isBusy_) {
        waiting_.push_back({std::move(lessons), std::move(completion)});
        return;
    }
    start(std::move(lessons), std::move(completion));
}

void WVCloudLessonPusher::start(std::vector<LessonInfoPtr> lessons, Completion completion) {
    isBusy_ = true;
    recordsDic.clear();
    const auto linked = cloudSyncDB_.linkedLocalIds();
    const auto pending = pendingNames_.all();
    std::unordered_set<int64_t> taken;
    std::vector<ck::Record> records;
    {
        // The names must be on disk before anything is sent: a reply lost with the process
        // is then repeated under the same name instead of making a second record.
        auto transaction = localStats_.db().transaction();
        for (const auto& lesson : lessons) {
            if (!lesson || linked.count(lesson->id) || !taken.insert(lesson->id).second) continue;
            std::optional<std::string> name;
            if (auto found = pending.find(lesson->id); found != pending.end()) name = found->second;
            ck::Record record = lessonRecord(*lesson, recordType_, name);
            if (!name && !pendingNames_.add(lesson->id, record.recordID().recordName())) continue;
            recordsDic[record.recordID()] = lesson->id;
            records.push_back(std::move(record));
        }
        if (!transaction.commit()) {
            Log::print("WVCloud can't keep the names of the records to push");
            records.clear();
            recordsDic.clear();
        }
    }
    pushRecords(std::move(records), [this, completion](bool ok) { finished(ok, completion); });
}

void WVCloudLessonPusher::finished(bool ok, const Completion& completion) {
    isBusy_ = false;
    if (completion) completion(ok);
    if (isBusy_ || waiting_.empty()) return;
    Waiting next = std::move(waiting_.front());
    waiting_.pop_front();
    start(std::move(next.lessons), std::move(next.completion));
}

void WVCloudLessonPusher::modifyRecordsCompleted(
    const std::optional<std::vector<ck::Record>>& saved, const std::optional<ck::Error>& error) {
    iCloudPusher::modifyRecordsCompleted(saved, error);
    if (!error) return;
    std::vector<ck::Record> alreadyThere;
    auto take = [&](const ck::Error& item) {
        if (item.code() == ck::ErrorCode::ServerRecordChanged && item.serverRecord &&
            recordsDic.count(item.serverRecord->recordID()))
            alreadyThere.push_back(*item.serverRecord);
    };
    take(*error);
    for (const auto& item : error->partialErrors) take(item);
    if (!alreadyThere.empty()) storeRecordIds(alreadyThere);
}

void WVCloudLessonPusher::storeRecordIds(const std::vector<ck::Record>& records) {
    iCloudPusher::storeRecordIds(records);
    if (recordsDic.empty()) return;
    auto transaction = localStats_.db().transaction();
    std::vector<int64_t> confirmed;
    for (const auto& record : records) {
        auto found = recordsDic.find(record.recordID());
        if (found == recordsDic.end()) continue;
        // A fetch may have linked it first, from the record it found on the server.
        if (cloudSyncDB_.insertUnlessLinked(found->second, record.recordID().recordName()))
            confirmed.push_back(found->second);
    }
    pendingNames_.removeLocalIds(confirmed);
    transaction.commit();
}

}  // namespace wv
