#pragma once

#include <functional>
#include <optional>

#include "platform/cloudkit/CloudOperation.h"

namespace wv::ck {

// One page of a query: the first (made with the query) or the next (made with the cursor the
// page before ended with). Each record comes to the record block, then the completion gets
// the cursor of the next page (none on the last) or the error.
class QueryOperation : public CloudOperation {
  public:
    // As many as the server gives per page.
    static constexpr int64_t kMaximumResults = 0;

    explicit QueryOperation(Query query) : query_(std::move(query)) {}
    explicit QueryOperation(QueryCursor cursor) : cursor_(std::move(cursor)) {}

    int64_t resultsLimit() const { return resultsLimit_; }
    void setResultsLimit(int64_t limit) { resultsLimit_ = limit; }
    void setRecordFetchedBlock(std::function<void(const Record&)> block) {
        recordFetched_ = std::move(block);
    }
    void setQueryCompletionBlock(
        std::function<void(const std::optional<QueryCursor>&, const std::optional<Error>&)> block) {
        completion_ = std::move(block);
    }

  protected:
    std::function<void()> perform(const ServerAccess& access) override;

  private:
    std::optional<Query> query_;
    std::optional<QueryCursor> cursor_;
    int64_t resultsLimit_ = kMaximumResults;
    std::function<void(const Record&)> recordFetched_;
    std::function<void(const std::optional<QueryCursor>&, const std::optional<Error>&)> completion_;
};

}  // namespace wv::ck
