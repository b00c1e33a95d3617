#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace wv::plist {

class Value;

// A dictionary that keeps its keys in insertion order (setting an existing key keeps its place).
class Dictionary {
  public:
    using Entry = std::pair<std::string, Value>;

    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    void set(std::string key, Value value);
    bool erase(std::string_view key);
    // Defined below, where Value is complete (not every standard library allows less).
    size_t size() const;
    bool empty() const;
    std::vector<Entry>::const_iterator begin() const;
    std::vector<Entry>::const_iterator end() const;

    bool operator==(const Dictionary& other) const;

  private:
    std::vector<Entry> entries_;
};

using Array = std::vector<Value>;
using Data = std::vector<uint8_t>;
using Date = std::chrono::system_clock::time_point;

// One property-list value. Booleans are their own kind, never integers.
class Value {
  public:
    using Storage = std::variant<std::string, int64_t, double, bool, Data, Date, Array, Dictionary>;

    Value() : v_(std::string()) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(int v) : v_(int64_t(v)) {}
    Value(int64_t v) : v_(v) {}
    Value(double v) : v_(v) {}
    Value(bool v) : v_(v) {}
    Value(Data v) : v_(std::move(v)) {}
    Value(Date v) : v_(v) {}
    Value(Array v) : v_(std::move(v)) {}
    Value(Dictionary v) : v_(std::move(v)) {}

    template <class T>
    bool is() const {
        return std::holds_alternative<T>(v_);
    }
    template <class T>
    const T* get() const {
        return std::get_if<T>(&v_);
    }
    template <class T>
    T* get() {
        return std::get_if<T>(&v_);
    }

    const Storage& storage() const { return v_; }
    bool operator==(const Value& other) const { return v_ == other.v_; }

  private:
    Storage v_;
};

inline size_t Dictionary::size() const { return entries_.size(); }
inline bool Dictionary::empty() const { return entries_.empty(); }
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::begin() const {
    return entries_.begin();
}
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::end() const {
    return entries_.end();
}

// XML property lists through libplist. A missing, corrupt or truncated file gives none and
// prints one line naming the file; it never throws.
std::optional<Value> readFile(const std::filesystem::path& path);
std::optional<Value> fromXml(std::string_view xml);
std::string toXml(const Value& value);

// Writes a temporary file beside the target, flushes it to disk and renames it over the
// target, so the old file stays whole until the new one is complete. False on any failure
// (a line is printed), and the target is then untouched.
bool writeFile(const std::filesystem::path& path, const Value& value);

}  // namespace wv::plist
