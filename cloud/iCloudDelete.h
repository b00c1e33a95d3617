#pragma once

#include <vector>

#include "cloud/iCloudQuery.h"

namespace wv {

// Deletes every record a query matches: each page's records are collected and deleted with
// one modify operation, and the next page is asked for only after that delete has ended. The
// run ends with true when every page and every delete went through.
class iCloudDelete : public iCloudQuery {
  public:
    explicit iCloudDelete(ck::Database& cloudDB);

    int64_t deletedRecordsNumber = 0;

  private:
    void recordFetched(const ck::Record& record);
    void queryStep(const std::optional<ck::QueryCursor>& cursor,
                   const std::optional<ck::Error>& error);
    void pageDeleted(const std::optional<ck::QueryCursor>& cursor, bool ok);

    std::vector<ck::RecordID> collected_;
    bool runFailed_ = false;
};

}  // namespace wv
