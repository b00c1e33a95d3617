#include "platform/cloudkit/ModifyRecordsOperation.h"

#include "platform/cloudkit/ContainerCore.h"

namespace wv::ck {

std::function<void()> ModifyRecordsOperation::perform(const ServerAccess& access) {
    ModifyResult result;
    if (access.backend) {
        result = access.backend->modifyRecords(access.caller, scope(), recordsToSave_,
                                               recordIDsToDelete_);
    } else {
        result.error = ContainerCore::unavailableError(access);
    }
    return [this, result = std::move(result)] {
        const bool partial = result.error && result.error->code() == ErrorCode::PartialFailure;
        const bool whole = result.error && !partial;
        if (perRecord_) {
            for (const Record& record : recordsToSave_) {
                std::optional<Error> error;
                if (whole) error = result.error;
                if (partial) {
                    for (const Error& item : result.error->partialErrors) {
                        if (item.recordID == record.recordID()) error = item;
                    }
                }
                const Record* saved = &record;
                for (const Record& s : result.saved) {
                    if (s.recordID() == record.recordID()) saved = &s;
                }
                perRecord_(*saved, error);
            }
        }
        if (completion_) {
            if (whole) {
                completion_(std::nullopt, std::nullopt, result.error);
            } else {
                completion_(result.saved, result.deleted, result.error);
            }
        }
    };
}

}  // namespace wv::ck
