#include "cloud/iCloudDelete.h"

#include <memory>

#include "platform/cloudkit/ModifyRecordsOperation.h"
#include "platform/foundation/Log.h"

namespace wv {

iCloudDelete::iCloudDelete(ck::Database& cloudDB) : iCloudQuery(cloudDB) {
    onRecordFetched = [this](const ck::Record& record) { recordFetched(record); };
    onQueryStep = [this](const auto& cursor, const auto& error) { queryStep(cursor, error); };
}

void iCloudDelete::recordFetched(const ck::Record& record) {
    Log::print("RECORD fetched: " + record.recordID().recordName());
    collected_.push_back(record.recordID());
}

void iCloudDelete::queryStep(const std::optional<ck::QueryCursor>& cursor,
                             const std::optional<ck::Error>& error) {
    Log::print("----------------------");
    if (error) {
        Log::print("iCloudDelete Error: deleteQueryStep - " + error->description());
        runFailed_ = true;
    }
    std::vector<ck::RecordID> ids;
    ids.swap(collected_);
    if (ids.empty()) {
        pageDeleted(error ? std::nullopt : cursor, true);
        return;
    }
    auto operation =
        std::make_shared<ck::ModifyRecordsOperation>(std::vector<ck::Record>{}, std::move(ids));
    const auto next = error ? std::nullopt : cursor;
    operation->setModifyRecordsCompletionBlock(
        [this, next](const auto&, const auto& deleted, const auto& e) {
            if (e) Log::print("modifyRecordsCompletionBlock " + e->description());
            if (deleted) deletedRecordsNumber += int64_t(deleted->size());
            pageDeleted(next, !e);
        });
    cloudDB().addOperation(operation);
}

void iCloudDelete::pageDeleted(const std::optional<ck::QueryCursor>& cursor, bool ok) {
    if (!ok) runFailed_ = true;
    if (cursor) {
        run(std::make_shared<ck::QueryOperation>(*cursor));
        return;
    }
    isBusy = false;
    const bool succeeded = !runFailed_;
    runFailed_ = false;
    if (onAllQueriesCompleted) onAllQueriesCompleted(succeeded);
}

}  // namespace wv
