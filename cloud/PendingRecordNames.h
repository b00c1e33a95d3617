#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "storage/DBTable.h"

namespace wv {

// "cloud_pending" in the statistics database: the name each lesson record was last sent
// under while the server has not confirmed it. Written before the send, so that a send whose
// reply was lost (the program ended, the network dropped) is repeated under the same name and
// the server can tell it already holds the record; removed with the confirmation.
class PendingRecordNames : public DBTable {
  public:
    static constexpr const char* kName = "cloud_pending";

    explicit PendingRecordNames(DB& db);

    std::optional<std::string> nameFor(int64_t localId);
    // Every pending name by "sessions" id, read in one statement.
    std::unordered_map<int64_t, std::string> all();
    std::optional<int64_t> localIdFor(const std::string& recordName);
    bool add(int64_t localId, const std::string& recordName);
    void remove(const std::string& recordName);
    void removeLocalIds(const std::vector<int64_t>& localIds);
    void removeAll();
};

}  // namespace wv
