#pragma once

#include <compare>
#include <cstddef>
#include <string>

namespace wv::ck {

inline constexpr const char* kDefaultZoneName = "_defaultZone";

// A record's identity: its name within a zone of one database.
class RecordID {
  public:
    RecordID() = default;
    explicit RecordID(std::string recordName, std::string zoneName = kDefaultZoneName)
        : recordName_(std::move(recordName)), zoneName_(std::move(zoneName)) {}

    // A new name no other record has: a random version-4 UUID in capitals.
    static RecordID random();

    const std::string& recordName() const { return recordName_; }
    const std::string& zoneName() const { return zoneName_; }

    auto operator<=>(const RecordID&) const = default;
    bool operator==(const RecordID&) const = default;

  private:
    std::string recordName_;
    std::string zoneName_ = kDefaultZoneName;
};

struct RecordIDHash {
    size_t operator()(const RecordID& id) const;
};

}  // namespace wv::ck
