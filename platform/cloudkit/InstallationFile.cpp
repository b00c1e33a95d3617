#include "platform/cloudkit/InstallationFile.h"

#include <algorithm>
#include <system_error>

#include "platform/cloudkit/RecordID.h"

namespace wv::ck {

InstallationFile::InstallationFile(std::filesystem::path supportFolder, std::string account)
    : file_(std::move(supportFolder) / kFileName), account_(std::move(account)) {
    load();
}

void InstallationFile::load() {
    std::error_code ec;
    std::optional<plist::Value> root;
    if (std::filesystem::is_regular_file(file_, ec)) root = plist::readFile(file_);
    const plist::Dictionary* dict = root ? root->get<plist::Dictionary>() : nullptr;
    auto string = [&](const char* key) -> std::string {
        const plist::Value* v = dict ? dict->find(key) : nullptr;
        return v && v->is<std::string>() ? *v->get<std::string>() : std::string();
    };
    identifier_ = string("Identifier");
    const bool sameAccount = string("Account") == account_;
    bool changed = identifier_.empty() || !sameAccount;
    if (identifier_.empty()) identifier_ = RecordID::random().recordName();
    if (dict && sameAccount) {
        if (const plist::Value* v = dict->find("KeyValues"); v && v->is<plist::Dictionary>()) {
            values_ = *v->get<plist::Dictionary>();
        }
        if (const plist::Value* v = dict->find("Dirty"); v && v->is<plist::Array>()) {
            for (const auto& key : *v->get<plist::Array>()) {
                if (key.is<std::string>() && values_.contains(*key.get<std::string>())) {
                    dirty_.insert(*key.get<std::string>());
                }
            }
        }
        if (const plist::Value* v = dict->find("KeyValueCursor"); v && v->is<int64_t>()) {
            cursor_ = *v->get<int64_t>();
        }
        if (const plist::Value* v = dict->find("KeyValueSynced"); v && v->is<bool>()) {
            synced_ = *v->get<bool>();
        }
    }
    if (changed) save();
}

void InstallationFile::save() {
    plist::Dictionary root;
    root.set("Identifier", plist::Value(identifier_));
    root.set("Account", plist::Value(account_));
    root.set("KeyValues", plist::Value(values_));
    plist::Array dirty;
    for (const auto& key : dirty_) dirty.emplace_back(key);
    root.set("Dirty", plist::Value(std::move(dirty)));
    root.set("KeyValueCursor", plist::Value(cursor_));
    root.set("KeyValueSynced", plist::Value(synced_));
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    plist::writeFile(file_, plist::Value(std::move(root)));
}

std::optional<plist::Value> InstallationFile::value(const std::string& key) const {
    std::lock_guard lock(mutex_);
    if (const plist::Value* v = values_.find(key)) return *v;
    return std::nullopt;
}

void InstallationFile::setValue(const std::string& key, plist::Value value) {
    std::lock_guard lock(mutex_);
    values_.set(key, std::move(value));
    dirty_.insert(key);
    save();
}

std::vector<std::pair<std::string, plist::Value>> InstallationFile::dirtyEntries() const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<std::string, plist::Value>> entries;
    for (const auto& key : dirty_) {
        if (const plist::Value* v = values_.find(key)) entries.emplace_back(key, *v);
    }
    return entries;
}

void InstallationFile::markSent(const std::vector<std::pair<std::string, plist::Value>>& entries) {
    std::lock_guard lock(mutex_);
    bool changed = false;
    for (const auto& [key, value] : entries) {
        const plist::Value* now = values_.find(key);
        if (now && *now == value && dirty_.erase(key)) changed = true;
    }
    if (changed) save();
}

bool InstallationFile::hasDirty() const {
    std::lock_guard lock(mutex_);
    return !dirty_.empty();
}

int64_t InstallationFile::cursor() const {
    std::lock_guard lock(mutex_);
    return cursor_;
}

bool InstallationFile::synced() const {
    std::lock_guard lock(mutex_);
    return synced_;
}

std::vector<std::string> InstallationFile::apply(
    const std::vector<std::pair<std::string, plist::Value>>& changes, int64_t cursor) {
    std::lock_guard lock(mutex_);
    std::vector<std::string> keys;
    for (const auto& [key, value] : changes) {
        if (dirty_.count(key)) continue;
        values_.set(key, value);
        keys.push_back(key);
    }
    cursor_ = std::max(cursor_, cursor);
    if (!keys.empty()) synced_ = true;
    save();
    return keys;
}

}  // namespace wv::ck
