#include "sdk/core/QXUserDefaults.h"

#include <system_error>

#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "sdk/core/TRNApplication.h"

namespace wv {

namespace {
constexpr std::string_view kTag = "[Tarnel:UserDefaults] ";
}

QXUserDefaults& QXUserDefaults::standardUserDefaults() {
    static QXUserDefaults store(Folders::dataHome(), getEscapedAppBundleIdentifier(),
                                &UserDefaults::standard());
    return store;
}

QXUserDefaults::QXUserDefaults(const std::filesystem::path& baseURL,
                               std::optional<std::string> escapedBundleIdentifier,
                               UserDefaults* platformDefaults)
    : platformDefaults_(platformDefaults) {
    serialDictionaryQueue_.sync([&] {
        directoryURL_ = generateDirectoryURLForBaseURL(baseURL, escapedBundleIdentifier);
        fileURL_ = directoryURL_ / "QXUserDefaults.plist";
        persisted_ = loadDefaults().value_or(plist::Dictionary());
        data_ = persisted_;
    });
}

std::filesystem::path QXUserDefaults::generateDirectoryURLForBaseURL(
    const std::filesystem::path& baseURL, const std::optional<std::string>& identifier) {
    std::filesystem::path directory = baseURL;
    if (identifier && !identifier->empty()) directory /= *identifier;
    return directory / "com.quellix";
}

std::optional<std::string> QXUserDefaults::getEscapedAppBundleIdentifier() {
    return TRNApplicationBundleIdentifier();
}

std::optional<plist::Dictionary> QXUserDefaults::loadDefaults() {
    std::optional<plist::Dictionary> loaded;
    synchronizationQueue_.sync([&] {
        std::error_code ec;
        const auto status = std::filesystem::status(fileURL_, ec);
        if (std::filesystem::is_regular_file(status)) {
            auto value = plist::readFile(fileURL_);
            if (value && value->is<plist::Dictionary>()) {
                loaded = *value->get<plist::Dictionary>();
            } else {
                Log::system(std::string(kTag) + "failed to read existing UserDefaults file");
            }
        } else if (std::filesystem::is_directory(status)) {
            Log::system(std::string(kTag) +
                        "found directory where file expected. Removing conflicting directory");
            std::filesystem::remove_all(fileURL_, ec);
            if (ec) {
                Log::system(std::string(kTag) +
                            "error removing conflicting directory: {error = " + ec.message() + "}");
            }
        }
    });
    return loaded;
}

std::optional<plist::Value> QXUserDefaults::objectForKey(std::string_view key) const {
    std::optional<plist::Value> value;
    serialDictionaryQueue_.sync([&] {
        if (const plist::Value* found = data_.find(key)) value = *found;
    });
    return value;
}

std::optional<std::string> QXUserDefaults::stringForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (value && value->is<std::string>()) return *value->get<std::string>();
    return std::nullopt;
}

bool QXUserDefaults::boolForKey(std::string_view key) const {
    auto value = objectForKey(key);
    if (!value) return false;
    if (auto* b = value->get<bool>()) return *b;
    if (auto* i = value->get<int64_t>()) return *i != 0;
    if (auto* d = value->get<double>()) return *d != 0.0;
    return false;
}

void QXUserDefaults::setObject(std::optional<plist::Value> value, std::string_view key) {
    serialDictionaryQueue_.sync([&] {
        if (value) {
            data_.set(std::string(key), std::move(*value));
        } else {
            data_.erase(key);
        }
    });
}

void QXUserDefaults::setString(std::string value, std::string_view key) {
    setObject(plist::Value(std::move(value)), key);
}

void QXUserDefaults::setBool(bool value, std::string_view key) {
    setObject(plist::Value(value), key);
}

void QXUserDefaults::removeObjectForKey(std::string_view key) { setObject(std::nullopt, key); }

void QXUserDefaults::removeAllObjects() {
    serialDictionaryQueue_.sync([&] { data_ = plist::Dictionary(); });
}

plist::Dictionary QXUserDefaults::dictionaryRepresentation() const {
    plist::Dictionary copy;
    serialDictionaryQueue_.sync([&] { copy = data_; });
    return copy;
}

plist::Dictionary QXUserDefaults::persistedDataDictionary() const {
    plist::Dictionary copy;
    serialDictionaryQueue_.sync([&] { copy = persisted_; });
    return copy;
}

bool QXUserDefaults::synchronizeWroteToDisk() const {
    bool wrote = false;
    serialDictionaryQueue_.sync([&] { wrote = wroteToDisk_; });
    return wrote;
}

void QXUserDefaults::synchronize() { synchronizeAndReport(); }

bool QXUserDefaults::synchronizeAndReport() {
    bool dirty = false;
    serialDictionaryQueue_.sync([&] {
        dirty = !(persisted_ == data_);
        wroteToDisk_ = dirty;
    });
    if (!dirty) return true;
    const plist::Dictionary snapshot = dictionaryRepresentation();
    bool written = false;
    synchronizationQueue_.sync([&] {
        std::error_code ec;
        if (!std::filesystem::exists(directoryURL_, ec)) {
            std::filesystem::create_directories(directoryURL_, ec);
            if (ec) {
                Log::system(std::string(kTag) +
                            "failed to create directory with error:" + ec.message());
            }
        }
        written = plist::writeFile(fileURL_, plist::Value(snapshot));
        if (!written) {
            Log::system(std::string(kTag) + "Unable to open file for writing at path " +
                        fileURL_.string());
        }
    });
    // Only what reached the disk counts as persisted: after a failed write the store stays
    // dirty and the next synchronize() writes again.
    if (written) serialDictionaryQueue_.sync([&] { persisted_ = snapshot; });
    return written;
}

std::optional<plist::Value> QXUserDefaults::objectForKeyByMigratingFromNSUserDefaults(
    std::optional<std::string_view> key) {
    if (!key) return std::nullopt;
    if (auto value = objectForKey(*key)) return value;
    if (!platformDefaults_) return std::nullopt;
    auto value = platformDefaults_->objectForKey(*key);
    if (!value) return std::nullopt;
    setObject(*value, *key);
    // The old copy goes only once the new one is on disk, so a failed write loses nothing.
    if (synchronizeAndReport()) platformDefaults_->removeObjectForKey(*key);
    return value;
}

void QXUserDefaults::migrateFromNSUserDefaults(const std::vector<std::string>& keys) {
    if (!platformDefaults_) return;
    bool copied = false;
    for (const auto& key : keys) {
        if (auto value = platformDefaults_->objectForKey(key)) {
            setObject(*value, key);
            copied = true;
        }
    }
    if (!copied) return;
    if (!synchronizeAndReport()) return;
    for (const auto& key : keys) platformDefaults_->removeObjectForKey(key);
}

}  // namespace wv
