#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch/SerialQueue.h"
#include "platform/plist/UserDefaults.h"
#include "platform/plist/Value.h"

namespace wv {

// The SDK's own small key-value store, kept apart from the application's defaults in
// <data home>/<escaped bundle identifier>/com.quellix/QXUserDefaults.plist. Values live in
// memory; only synchronize() writes them (atomically, temp file and rename).
//
// Threads: any thread may call. The dictionaries are touched only on the access queue, files
// only on the io queue; the access queue may wait on the io queue (construction), never the
// other way round, and synchronize() takes them one after the other.
class QXUserDefaults {
  public:
    // The shared store (made once), migrating from the application's UserDefaults::standard().
    static QXUserDefaults& standardUserDefaults();
    // A store under `baseURL` (nullopt identifier: no bundle level); `platformDefaults` is the
    // migration source, or null for none.
    QXUserDefaults(const std::filesystem::path& baseURL,
                   std::optional<std::string> escapedBundleIdentifier,
                   UserDefaults* platformDefaults);
    QXUserDefaults(const QXUserDefaults&) = delete;
    QXUserDefaults& operator=(const QXUserDefaults&) = delete;

    std::optional<plist::Value> objectForKey(std::string_view key) const;
    std::optional<std::string> stringForKey(std::string_view key) const;
    bool boolForKey(std::string_view key) const;
    // A none value removes the key.
    void setObject(std::optional<plist::Value> value, std::string_view key);
    void setString(std::string value, std::string_view key);
    void setBool(bool value, std::string_view key);
    void removeObjectForKey(std::string_view key);
    void removeAllObjects();
    plist::Dictionary dictionaryRepresentation() const;

    // Writes the values when they differ from what was last written. A failed write keeps the
    // record of what is on disk as it was, so the next synchronize() tries again.
    void synchronize();
    bool synchronizeWroteToDisk() const;

    std::optional<plist::Value> objectForKeyByMigratingFromNSUserDefaults(
        std::optional<std::string_view> key);
    void migrateFromNSUserDefaults(const std::vector<std::string>& keys);

    const std::filesystem::path& directoryURL() const { return directoryURL_; }
    const std::filesystem::path& fileURL() const { return fileURL_; }
    plist::Dictionary persistedDataDictionary() const;

    static std::filesystem::path generateDirectoryURLForBaseURL(
        const std::filesystem::path& baseURL, const std::optional<std::string>& identifier);
    static std::optional<std::string> getEscapedAppBundleIdentifier();

  private:
    std::optional<plist::Dictionary> loadDefaults();
    // True when nothing needed writing or the write succeeded.
    bool synchronizeAndReport();

    std::filesystem::path directoryURL_;
    std::filesystem::path fileURL_;
    UserDefaults* platformDefaults_;
    plist::Dictionary persisted_;
    plist::Dictionary data_;
    bool wroteToDisk_ = false;
    mutable SerialQueue serialDictionaryQueue_{"com.quellix.QXUserDefaults.access"};
    mutable SerialQueue synchronizationQueue_{"com.quellix.QXUserDefaults.io"};
};

}  // namespace wv
