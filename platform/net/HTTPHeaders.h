#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wv::net {

// HTTP header fields: names compare without regard to case (as HTTP says), the first
// spelling and the order of first appearance are kept, so requests go out as they were built.
class HTTPHeaders {
  public:
    using Field = std::pair<std::string, std::string>;

    HTTPHeaders() = default;
    HTTPHeaders(std::initializer_list<Field> fields);

    std::optional<std::string> value(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != fields_.end(); }
    // Replaces any value of the field (keeping its place) or appends it.
    void set(std::string_view name, std::string value);
    // Joins the value to an existing one with ", " (how HTTP combines repeated fields).
    void add(std::string_view name, std::string value);
    void remove(std::string_view name);

    const std::vector<Field>& fields() const { return fields_; }
    bool empty() const { return fields_.empty(); }
    size_t size() const { return fields_.size(); }

    static bool equalNames(std::string_view a, std::string_view b);

  private:
    std::vector<Field>::const_iterator find(std::string_view name) const;
    std::vector<Field>::iterator find(std::string_view name);
    std::vector<Field> fields_;
};

}  // namespace wv::net
