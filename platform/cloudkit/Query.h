#pragma once

#include <string>

namespace wv::ck {

// A predicate that is a constant: true matches every record of the type, false none. The
// only predicate the program builds.
class Predicate {
  public:
    static Predicate withValue(bool value) { return Predicate(value); }
    bool value() const { return value_; }
    bool operator==(const Predicate&) const = default;

  private:
    explicit Predicate(bool value) : value_(value) {}
    bool value_;
};

// The records of one type that a predicate matches.
class Query {
  public:
    Query(std::string recordType, Predicate predicate)
        : recordType_(std::move(recordType)), predicate_(predicate) {}
    const std::string& recordType() const { return recordType_; }
    const Predicate& predicate() const { return predicate_; }

  private:
    std::string recordType_;
    Predicate predicate_;
};

}  // namespace wv::ck
