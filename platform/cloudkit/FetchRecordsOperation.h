#pragma once

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/cloudkit/CloudOperation.h"

namespace wv::ck {

// Fetches records by their IDs. Each ID comes to the per-record block with its record or its
// error (a missing record is an unknown item); the completion gets the records found and,
// when any ID failed, a partial failure.
class FetchRecordsOperation : public CloudOperation {
  public:
    using PerRecord = std::function<void(const std::optional<Record>&, const RecordID&,
                                         const std::optional<Error>&)>;
    using Completion = std::function<void(const std::optional<std::map<RecordID, Record>>&,
                                          const std::optional<Error>&)>;

    explicit FetchRecordsOperation(std::vector<RecordID> recordIDs)
        : recordIDs_(std::move(recordIDs)) {}

    const std::vector<RecordID>& recordIDs() const { return recordIDs_; }
    void setPerRecordCompletionBlock(PerRecord block) { perRecord_ = std::move(block); }
    void setFetchRecordsCompletionBlock(Completion block) { completion_ = std::move(block); }

  protected:
    std::function<void()> perform(const ServerAccess& access) override;

  private:
    std::vector<RecordID> recordIDs_;
    PerRecord perRecord_;
    Completion completion_;
};

}  // namespace wv::ck
