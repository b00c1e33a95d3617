#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace wv {

// What opens every event log file: a run's metadata, as the "metadata" line.
class PLRMetadataSerializable {
  public:
    virtual ~PLRMetadataSerializable() = default;
    virtual std::string eventName() const = 0;
    // startTime: whole seconds since 1970 of the event that opens the file.
    virtual nlohmann::ordered_json dictionaryRepresentationWithStartTime(
        uint64_t startTime) const = 0;
};

}  // namespace wv
