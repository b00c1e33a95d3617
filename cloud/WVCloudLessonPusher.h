#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "cloud/PendingRecordNames.h"
#include "cloud/iCloudPusher.h"
#include "cloud/iCloudSyncDBTable.h"
#include "engine/LessonStats.h"

namespace wv {

// Pushes lesson records that "cloud_sync" does not link yet, and links each one the server
// confirms. One push runs at a time: the pusher is busy from the start of a push to its
// completion, and a push asked for meanwhile waits and starts after it, so a record is never
// in two pushes at once (the one waiting skips what the first linked). A record is sent under
// the name its unconfirmed send had, kept in "cloud_pending"; the server's "server record
// changed" for such a name means it already holds the record and counts as a confirmation.
class WVCloudLessonPusher : public iCloudPusher {
  public:
    WVCloudLessonPusher(ck::Database& cloudDB, LessonStats& localStats, std::string recordType);

    void pushLessons(std::vector<LessonInfoPtr> lessons, Completion completion);

    bool isBusy() const { return isBusy_; }
    iCloudSyncDBTable& cloudSyncDB() { return cloudSyncDB_; }
    PendingRecordNames& pendingNames() { return pendingNames_; }
    const std::string& recordType() const { return recordType_; }

    // Each record of the push in flight: the "sessions" id it stands for.
    std::map<ck::RecordID, int64_t> recordsDic;

  protected:
    void modifyRecordsCompleted(const std::optional<std::vector<ck::Record>>& saved,
                                const std::optional<ck::Error>& error) override;
    void storeRecordIds(const std::vector<ck::Record>& records) override;

  private:
    struct Waiting {
        std::vector<LessonInfoPtr> lessons;
        Completion completion;
    };
    void start(std::vector<LessonInfoPtr> lessons, Completion completion);
    void finished(bool ok, const Completion& completion);

    iCloudSyncDBTable cloudSyncDB_;
    PendingRecordNames pendingNames_;
    LessonStats& localStats_;
    std::string recordType_;
    bool isBusy_ = false;
    std::deque<Waiting> waiting_;
};

}  // namespace wv
