#include "platform/cloudkit/Record.h"

#include <algorithm>

namespace wv::ck {

Record::Record(std::string recordType)
    : recordType_(std::move(recordType)), recordID_(RecordID::random()) {}

Record::Record(std::string recordType, RecordID recordID)
    : recordType_(std::move(recordType)), recordID_(std::move(recordID)) {}

void Record::setObject(std::string key, FieldValue value) {
    for (auto& field : fields_) {
        if (field.first == key) {
            field.second = std::move(value);
            return;
        }
    }
    fields_.emplace_back(std::move(key), std::move(value));
}

bool Record::removeObject(std::string_view key) {
    auto it = std::find_if(fields_.begin(), fields_.end(),
                           [&](const Field& f) { return f.first == key; });
    if (it == fields_.end()) return false;
    fields_.erase(it);
    return true;
}

const FieldValue* Record::objectForKey(std::string_view key) const {
    for (const auto& field : fields_) {
        if (field.first == key) return &field.second;
    }
    return nullptr;
}

std::optional<int64_t> Record::int64ForKey(std::string_view key) const {
    const FieldValue* value = objectForKey(key);
    if (const auto* v = value ? std::get_if<int64_t>(value) : nullptr) return *v;
    return std::nullopt;
}

std::optional<double> Record::doubleForKey(std::string_view key) const {
    const FieldValue* value = objectForKey(key);
    if (const auto* v = value ? std::get_if<double>(value) : nullptr) return *v;
    return std::nullopt;
}

std::optional<std::string> Record::stringForKey(std::string_view key) const {
    const FieldValue* value = objectForKey(key);
    if (const auto* v = value ? std::get_if<std::string>(value) : nullptr) return *v;
    return std::nullopt;
}

std::vector<std::string> Record::allKeys() const {
    std::vector<std::string> keys;
    keys.reserve(fields_.size());
    for (const auto& field : fields_) keys.push_back(field.first);
    return keys;
}

bool Record::sameContent(const Record& other) const {
    if (recordType_ != other.recordType_ || recordID_ != other.recordID_) return false;
    if (fields_.size() != other.fields_.size()) return false;
    for (const auto& field : fields_) {
        const FieldValue* theirs = other.objectForKey(field.first);
        if (!theirs || *theirs != field.second) return false;
    }
    return true;
}

std::string_view fieldTypeName(const FieldValue& value) {
    switch (value.index()) {
        case 0:
            return "int64";
        case 1:
            return "double";
        default:
            return "string";
    }
}

}  // namespace wv::ck
