#include "platform/plist/UserDefaults.h"

#include <system_error>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Folders.h"

namespace wv {

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults(Bundle::main().identifier(),
                                 Folders::dataHome() / Bundle::main().identifier() /
                                     "UserDefaults.plist");
    return defaults;
}

UserDefaults::UserDefaults(std::string domain, std::filesystem::path file)
    : domain_(std::move(domain)), file_(std::move(file)) {
    load();
}

void UserDefaults::load() {
    auto value = plist::readFile(file_);
    if (value && value->is<plist::Dictionary>()) values_ = *value->get<plist::Dictionary>();
}

bool UserDefaults::save() {
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    return plist::writeFile(file_, plist::Value(values_));
}

std::optional<plist::Value> UserDefaults::objectForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    if (const plist::Value* value = values_.find(key)) return *value;
    return std::nullopt;
}

bool UserDefaults::setObject(std::string_view key, plist::Value value) {
    std::lock_guard lock(mutex_);
    values_.set(std::string(key), std::move(value));
    return save();
}

void UserDefaults::removeObjectForKey(std::string_view key) {
    std::lock_guard lock(mutex_);
    if (values_.erase(key)) save();
}

void UserDefaults::removePersistentDomain(std::string_view domain) {
    if (domain != domain_) return;
    std::lock_guard lock(mutex_);
    values_ = plist::Dictionary();
    std::error_code ec;
    std::filesystem::remove(file_, ec);
}

}  // namespace wv
