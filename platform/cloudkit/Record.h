#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/cloudkit/RecordID.h"

namespace wv::ck {

// The three kinds a record field holds. There is deliberately no Boolean: flags travel as the
// integers 0 and 1 and come back as integers.
using FieldValue = std::variant<int64_t, double, std::string>;

// A typed record. A new record gets a fresh random name in the default zone; the server sets
// its change tag when it is saved, and a save of an existing name must carry the tag it last
// saw. Fields keep the order in which they were first set.
class Record {
  public:
    using Field = std::pair<std::string, FieldValue>;

    explicit Record(std::string recordType);
    Record(std::string recordType, RecordID recordID);

    const RecordID& recordID() const { return recordID_; }
    const std::string& recordType() const { return recordType_; }
    // None until the server has saved the record.
    const std::optional<std::string>& recordChangeTag() const { return changeTag_; }
    void setRecordChangeTag(std::optional<std::string> tag) { changeTag_ = std::move(tag); }

    void setObject(std::string key, FieldValue value);
    bool removeObject(std::string_view key);
    const FieldValue* objectForKey(std::string_view key) const;
    // The value under `key` when it is of that kind; none otherwise (an integer is never read
    // as a double or the other way round).
    std::optional<int64_t> int64ForKey(std::string_view key) const;
    std::optional<double> doubleForKey(std::string_view key) const;
    std::optional<std::string> stringForKey(std::string_view key) const;

    const std::vector<Field>& fields() const { return fields_; }
    std::vector<std::string> allKeys() const;

    // Same identity, type and fields (the change tag is the server's and is not compared).
    bool sameContent(const Record& other) const;

  private:
    std::string recordType_;
    RecordID recordID_;
    std::optional<std::string> changeTag_;
    std::vector<Field> fields_;
};

// The name a field kind is stored and printed under: "int64", "double", "string".
std::string_view fieldTypeName(const FieldValue& value);

}  // namespace wv::ck
