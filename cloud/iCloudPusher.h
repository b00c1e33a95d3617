#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/cloudkit/Database.h"
#include "platform/cloudkit/Error.h"
#include "platform/cloudkit/Record.h"

namespace wv {

// Saves records in slices of at most `maxNumberOfItems`, one modify operation each, every
// slice starting after the one before has ended (whatever its outcome). The completion runs
// once, after the last slice, with true when the server confirmed every record. All blocks
// run on the container's callback queue; a push is started there too.
class iCloudPusher {
  public:
    using Completion = std::function<void(bool)>;

    explicit iCloudPusher(ck::Database& cloudDB, int64_t maxNumberOfItems = 400);
    virtual ~iCloudPusher() = default;
    iCloudPusher(const iCloudPusher&) = delete;
    iCloudPusher& operator=(const iCloudPusher&) = delete;

    void pushRecords(std::vector<ck::Record> records, Completion completion);

    ck::Database& cloudDB() { return cloudDB_; }
    int64_t pushedRecordsNumbers = 0;  // confirmed by the current (or last) push
    int64_t maxNumberOfItems;

  protected:
    // One slice ended: the saved records (none when the whole request failed) and its error.
    virtual void modifyRecordsCompleted(const std::optional<std::vector<ck::Record>>& saved,
                                        const std::optional<ck::Error>& error);
    // Records the server confirmed.
    virtual void storeRecordIds(const std::vector<ck::Record>& records);

  private:
    ck::Database& cloudDB_;
};

}  // namespace wv
