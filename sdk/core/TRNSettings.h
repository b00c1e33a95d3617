#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace wv {

// The downloaded settings document, settings.json, read lazily from its place on disk.
//
// Threads: the kits read the parsed document from their own queues while the settings flow
// clears it from the network thread, so the document is handed out as a shared pointer that
// is swapped whole under a lock: a reader keeps the document it got even when a newer one
// replaces it. A file that is no JSON object is never handed out: it is logged once, deleted,
// and reads as absent, as does a missing, unreadable or oversized file.
class TRNSettings {
  public:
    using Dictionary = std::shared_ptr<const nlohmann::json>;
    // Far beyond any real document (a few KiB); a larger file is not read.
    static constexpr uintmax_t kMaximumFileSize = 1 << 20;

    // An empty path names no file: the settings are always absent.
    explicit TRNSettings(std::filesystem::path settingsPath);

    const std::filesystem::path& settingsPath() const { return settingsPath_; }

    // The parsed file (always a JSON object), or none.
    Dictionary settingsDictionary();
    void setSettingsDictionary(Dictionary dictionary);
    // The next read parses the file again.
    void clearSettingsDictionary();

    // The "app" section when it is an object.
    std::optional<nlohmann::json> appSettings();
    // "app" / "status" when it is a string.
    std::optional<std::string> appStatus();
    bool appNeedsOnboarding();
    // "app" / "update_required" read as a truth value: a boolean, a number other than 0, or
    // a text that reads as true; anything else (an array, an object, null) is false.
    bool appUpdateRequired();

    // The application as the settings service knows it: the bundle identifier with "/" made
    // "_", the platform "mac", the two versions and the install source.
    static std::optional<std::string> appBundleIdentifier();
    static std::string appPlatform();
    static std::optional<std::string> appBuildVersion();
    static std::optional<std::string> appDisplayVersion();
    static int64_t appSource();
    // <endpoint>/spi/v2/platforms/mac/apps/<id>/settings?build_version=..&display_version=..
    // &instance=..&source=..; none when the result is no valid URL (an empty endpoint).
    static std::optional<std::string> settingsURLForEndpoint(const std::string& endpoint,
                                                             const std::string& instanceIdentifier);

    // Reads a whole settings document: none when the file is missing, not a regular file,
    // larger than the limit or unreadable. Parse errors are left to the caller.
    static std::optional<std::string> readDocument(const std::filesystem::path& path);

  private:
    Dictionary load();

    const std::filesystem::path settingsPath_;
    std::mutex mutex_;  // the held document, and one parse at a time
    Dictionary dictionary_;
};

}  // namespace wv
