#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/plist/Value.h"

namespace wv::ck {

// What one installation keeps of the cloud on its own disk, in "cloud-installation.plist"
// in its application-support folder: its identity (made once, kept for good), and its copy
// of the key-value store with the keys not yet sent and how far it has read the server's.
// The copy belongs to one account; another account starts from an empty copy.
// Every change is written through (temporary file and rename). Safe from any thread.
class InstallationFile {
  public:
    static constexpr const char* kFileName = "cloud-installation.plist";

    InstallationFile(std::filesystem::path supportFolder, std::string account);

    const std::string& identifier() const { return identifier_; }

    std::optional<plist::Value> value(const std::string& key) const;
    // Sets locally and marks the key to be sent.
    void setValue(const std::string& key, plist::Value value);
    // The entries to send; they stay marked until markSent.
    std::vector<std::pair<std::string, plist::Value>> dirtyEntries() const;
    // Unmarks the sent entries, except keys set anew while they were on their way.
    void markSent(const std::vector<std::pair<std::string, plist::Value>>& entries);
    bool hasDirty() const;
    int64_t cursor() const;
    bool synced() const;
    // Takes what the server sent: others' values (not over keys set locally since) and the
    // new read position. Returns the keys taken; the first time any are, synced() turns true.
    std::vector<std::string> apply(const std::vector<std::pair<std::string, plist::Value>>& changes,
                                   int64_t cursor);

  private:
    void load();
    void save();

    std::filesystem::path file_;
    std::string account_;
    std::string identifier_;
    mutable std::mutex mutex_;
    plist::Dictionary values_;
    std::set<std::string> dirty_;
    int64_t cursor_ = 0;
    bool synced_ = false;
};

}  // namespace wv::ck
