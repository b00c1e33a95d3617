#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "cloud/PendingRecordNames.h"
#include "cloud/iCloudQuery.h"
#include "cloud/iCloudSyncDBTable.h"
#include "engine/LessonStats.h"
#include "engine/StatsTimestamp.h"
#include "platform/cloudkit/Record.h"

namespace wv {

// Brings lesson records of other installations into the statistics store: the full fetch (a
// query over every record) and the change step (the records that change notifications name).
// A record is stored only when no "cloud_sync" row holds its name at the moment of storing
// and this installation did not send it itself (its name is among the pending ones: it is
// then linked, not stored again). The records of one fetch are stored in typing order as one
// transaction, each with its "cloud_sync" row, and join the list and tree after the commit.
// Runs on the container's callback queue, the main queue in the application.
class WVCloudLessonFetcher : public iCloudQuery {
  public:
    using Next = std::function<void(bool)>;

    WVCloudLessonFetcher(ck::Database& cloudDB, LessonStats& localStats);

    // "FETCHED n; SAVED m": what the last fetch found new and what it stored.
    std::string description() const;

    // The end of a full fetch: stores what it collected when it succeeded, then `next` with
    // whether everything went well.
    void allQueriesCompleted(bool ok, const Next& next);
    // The change step: fetches the records of `recordIDs` and stores those that are new.
    // False when a full fetch runs, when the records cannot be fetched, or when storing fails.
    void fetchChangedRecords(const std::vector<ck::RecordID>& recordIDs, const Next& next);
    void fetchNotifiedRecords(const std::vector<ck::RecordID>& recordIDs, const Next& next) {
        fetchChangedRecords(recordIDs, next);
    }

    // Typing order: the parsed "localTime", then "localID", then the record name; a record
    // whose time does not parse follows every record whose time does. A strict weak order.
    bool recordPrecedes(const ck::Record& a, const ck::Record& b) const;
    // The "sessions" row of a record, or why there is none (a missing key, a value of another
    // type, a time or language the table would not read back).
    std::optional<RowDictionary> rowForRecord(const ck::Record& record, std::string* why) const;

    // Resets what the description reports; the full fetch's caller does it before a start.
    void reset();

    std::vector<ck::Record> fetchedRecords;
    int64_t savedLessonNumber = 0;

  private:
    // (time unreadable, time, local id, name): the typing order as one comparable value.
    using OrderKey = std::tuple<bool, Date, int64_t, std::string>;
    OrderKey orderKey(const ck::Record& record) const;
    // True when the record is new here.
    bool recordFetched(const ck::Record& record);
    void queryStep(const std::optional<ck::QueryCursor>& cursor,
                   const std::optional<ck::Error>& error);
    bool storeFetchedRecords();

    iCloudSyncDBTable cloudSyncDB_;
    PendingRecordNames pendingNames_;
    LessonStats& localStats_;
    StatsTimestampReader timestamps_;
    bool runFailed_ = false;
};

}  // namespace wv
