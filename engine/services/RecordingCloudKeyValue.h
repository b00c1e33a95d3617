#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/services/WVCloudKeyValueProtocol.h"

namespace wv {

// An in-memory key-value store that remembers every call, for tests. Like the real store it
// keeps a save only when it differs from the stored settings.
class RecordingCloudKeyValue : public WVCloudKeyValueProtocol {
  public:
    void save(const plist::Dictionary& settings) override {
        saves.push_back(settings);
        auto stored = values.find(kConfigKey);
        if (stored != values.end() && stored->second == settings) return;
        values[kConfigKey] = settings;
        ++storedCount;
    }
    void synchronize() override { ++synchronizeCount; }
    std::optional<plist::Dictionary> dictionaryForKey(std::string_view key) const override {
        auto found = values.find(std::string(key));
        if (found == values.end()) return std::nullopt;
        return found->second;
    }

    static constexpr const char* kConfigKey = "config";
    std::vector<plist::Dictionary> saves;  // every dictionary handed to save(), in order
    std::map<std::string, plist::Dictionary> values;
    int storedCount = 0;  // saves that changed the stored settings
    int synchronizeCount = 0;
};

}  // namespace wv
