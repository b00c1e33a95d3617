#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/cloudkit/Database.h"
#include "platform/cloudkit/QueryOperation.h"

namespace wv {

// Runs a query page by page on one database: every record goes to `onRecordFetched`, every
// page end to `onQueryStep`, which follows the cursor or ends the run through
// `onAllQueriesCompleted`. One run at a time; blocks run on the container's callback queue.
class iCloudQuery {
  public:
    using Completion = std::function<void(bool)>;

    explicit iCloudQuery(ck::Database& cloudDB);
    virtual ~iCloudQuery() = default;
    iCloudQuery(const iCloudQuery&) = delete;
    iCloudQuery& operator=(const iCloudQuery&) = delete;

    // False at once, changing nothing, while a run is in progress.
    void start(const ck::Query& query, Completion completion);
    void run(std::shared_ptr<ck::QueryOperation> operation);

    ck::Database& cloudDB() { return cloudDB_; }
    bool isBusy = false;
    int64_t fetchedRecordsNumber = 0;
    Completion onAllQueriesCompleted;
    int64_t resultsLimit = ck::QueryOperation::kMaximumResults;
    std::function<void(const ck::Record&)> onRecordFetched;
    std::function<void(const std::optional<ck::QueryCursor>&, const std::optional<ck::Error>&)>
        onQueryStep;

  private:
    ck::Database& cloudDB_;
};

}  // namespace wv
