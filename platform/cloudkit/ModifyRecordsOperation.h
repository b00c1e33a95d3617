#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/cloudkit/CloudOperation.h"

namespace wv::ck {

// Saves and deletes records in one request of at most 400. The records are judged one by one
// (a record whose save fails leaves the others saved, and the completion's error is then a
// partial failure listing the failed ones). Each saved or failed record comes to the
// per-record block; the completion gets the saved records and deleted IDs (none when the
// whole request failed) and the error.
class ModifyRecordsOperation : public CloudOperation {
  public:
    using Completion = std::function<void(const std::optional<std::vector<Record>>& savedRecords,
                                          const std::optional<std::vector<RecordID>>& deletedIDs,
                                          const std::optional<Error>& error)>;

    ModifyRecordsOperation(std::vector<Record> recordsToSave,
                           std::vector<RecordID> recordIDsToDelete)
        : recordsToSave_(std::move(recordsToSave)),
          recordIDsToDelete_(std::move(recordIDsToDelete)) {}

    const std::vector<Record>& recordsToSave() const { return recordsToSave_; }
    const std::vector<RecordID>& recordIDsToDelete() const { return recordIDsToDelete_; }
    void setPerRecordCompletionBlock(
        std::function<void(const Record&, const std::optional<Error>&)> block) {
        perRecord_ = std::move(block);
    }
    void setModifyRecordsCompletionBlock(Completion block) { completion_ = std::move(block); }

  protected:
    std::function<void()> perform(const ServerAccess& access) override;

  private:
    std::vector<Record> recordsToSave_;
    std::vector<RecordID> recordIDsToDelete_;
    std::function<void(const Record&, const std::optional<Error>&)> perRecord_;
    Completion completion_;
};

}  // namespace wv::ck
