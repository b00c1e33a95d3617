#pragma once

#include <filesystem>
#include <optional>

#include "sdk/analytics/PLRMetadataSerializable.h"

namespace wv {

// The previous run's metadata, as the crash metadata file held it. A file that could not be
// read or parsed gives an empty dictionary, so a crash of that run is still recorded (with
// "{}" as its metadata) rather than lost.
class PLRCrashMetadata : public PLRMetadataSerializable {
  public:
    explicit PLRCrashMetadata(nlohmann::ordered_json dictionary);

    const nlohmann::ordered_json& rawMetadataDictionary() const { return raw_; }

    std::string eventName() const override { return "metadata"; }
    // The stored dictionary; the start time belongs to the earlier run and is not changed.
    nlohmann::ordered_json dictionaryRepresentationWithStartTime(uint64_t) const override {
        return raw_;
    }

    // The JSON object in the file; none when it cannot be read, is not JSON or no object.
    static std::optional<nlohmann::ordered_json> readSerializedDictionaryFromURL(
        const std::filesystem::path& path);
    // Compact JSON in a temporary file beside the target, renamed over it, so a reader never
    // sees half a file. False on any failure (nothing is left behind).
    static bool writeSerializedDictionary(const nlohmann::ordered_json& dictionary,
                                          const std::filesystem::path& path);

  private:
    nlohmann::ordered_json raw_;
};

}  // namespace wv
