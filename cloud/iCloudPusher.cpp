#include "cloud/iCloudPusher.h"

#include <memory>

#include "cloud/Chunked.h"
#include "platform/cloudkit/ModifyRecordsOperation.h"
#include "platform/foundation/Log.h"

namespace wv {

iCloudPusher::iCloudPusher(ck::Database& cloudDB, int64_t maxNumberOfItems)
    : maxNumberOfItems(maxNumberOfItems), cloudDB_(cloudDB) {}

void iCloudPusher::pushRecords(std::vector<ck::Record> records, Completion completion) {
    pushedRecordsNumbers = 0;
    if (records.empty()) {
        if (completion) completion(true);
        return;
    }
    const auto total = int64_t(records.size());
    std::shared_ptr<ck::ModifyRecordsOperation> previous;
    auto slices = chunked(records, maxNumberOfItems);
    for (size_t i = 0; i < slices.size(); ++i) {
        const auto count = slices[i].size();
        auto operation = std::make_shared<ck::ModifyRecordsOperation>(std::move(slices[i]),
                                                                      std::vector<ck::RecordID>{});
        if (i + 1 == slices.size()) {
            operation->setCompletionBlock([this, total, completion] {
                if (completion) completion(pushedRecordsNumbers == total);
            });
        }
        operation->setModifyRecordsCompletionBlock(
            [this](const auto& saved, const auto&, const auto& error) {
                modifyRecordsCompleted(saved, error);
            });
        if (previous) operation->addDependency(previous);
        Log::print("going to push " + std::to_string(count) + " records");
        cloudDB_.addOperation(operation);
        previous = operation;
    }
}

void iCloudPusher::modifyRecordsCompleted(const std::optional<std::vector<ck::Record>>& saved,
                                          const std::optional<ck::Error>& error) {
    if (error) Log::print("modifyRecordsCompletionBlock " + error->description());
    if (saved) storeRecordIds(*saved);
}

void iCloudPusher::storeRecordIds(const std::vector<ck::Record>& records) {
    pushedRecordsNumbers += int64_t(records.size());
}

}  // namespace wv
