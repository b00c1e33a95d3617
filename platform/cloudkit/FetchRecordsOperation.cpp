#include "platform/cloudkit/FetchRecordsOperation.h"

#include "platform/cloudkit/ContainerCore.h"

namespace wv::ck {

std::function<void()> FetchRecordsOperation::perform(const ServerAccess& access) {
    FetchResult result;
    if (access.backend) {
        result = access.backend->fetchRecords(access.caller, scope(), recordIDs_);
    } else {
        result.error = ContainerCore::unavailableError(access);
    }
    return [this, result = std::move(result)] {
        const bool whole = result.error && result.error->code() != ErrorCode::PartialFailure;
        if (perRecord_) {
            if (whole) {
                for (const RecordID& id : recordIDs_) perRecord_(std::nullopt, id, result.error);
            } else {
                for (const FetchedRecord& item : result.items) {
                    perRecord_(item.record, item.recordID, item.error);
                }
            }
        }
        if (completion_) {
            if (whole) {
                completion_(std::nullopt, result.error);
                return;
            }
            std::map<RecordID, Record> found;
            for (const FetchedRecord& item : result.items) {
                if (item.record) found.emplace(item.recordID, *item.record);
            }
            completion_(found, result.error);
        }
    };
}

}  // namespace wv::ck
