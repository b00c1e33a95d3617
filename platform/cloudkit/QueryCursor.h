#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace wv::ck {

// The order in which the server pages through a query's records (a control of the stand-in;
// the default is creation order).
enum class QueryOrder : uint8_t { Creation = 0, Reversed = 1, Random = 2 };

// Where the next page of a query begins. The first page fixes a snapshot (the newest record
// that existed then), so records saved while a run pages are not mixed into it; the cursor
// carries the query, the order and its seed, so the next page needs nothing else.
struct QueryCursor {
    uint64_t scope = 0;  // fingerprint of the container, database and account
    std::string recordType;
    bool predicate = true;
    QueryOrder order = QueryOrder::Creation;
    uint64_t seed = 0;
    uint64_t snapshot = 0;  // records with a server row id up to this one belong to the run
    uint64_t position = 0;  // last row id delivered (creation orders), or records delivered

    std::vector<uint8_t> bytes() const;
    // None for bytes that are not a whole cursor of this format.
    static std::optional<QueryCursor> fromBytes(std::span<const uint8_t> bytes);
    bool operator==(const QueryCursor&) const = default;
};

}  // namespace wv::ck
