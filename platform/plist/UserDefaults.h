#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/plist/Value.h"

namespace wv {

// The application's preferences domain: small values kept between runs in one property-list
// file in the application-support folder. Every change is written through at once (atomically),
// so nothing is lost when the process ends abruptly. Safe from any thread.
class UserDefaults {
public:
    // The domain named after the bundle identifier, in
    // $XDG_DATA_HOME/<identifier>/UserDefaults.plist.
    static UserDefaults& standard();
    UserDefaults(std::string domain, std::filesystem::path file);

    std::optional<plist::Value> objectForKey(std::string_view key) const;
    // False when the value could not be written through: it is kept for this run only.
    bool setObject(std::string_view key, plist::Value value);
    void removeObjectForKey(std::string_view key);
    // Forgets every preference of the named domain (only this object's own domain is known here).
    void removePersistentDomain(std::string_view domain);

    const std::filesystem::path& file() const { return file_; }

private:
    void load();
    bool save();

    std::string domain_;
    std::filesystem::path file_;
    mutable std::mutex mutex_;
    plist::Dictionary values_;
};

}  // namespace wv
