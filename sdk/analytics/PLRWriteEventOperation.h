#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "platform/dispatch/Operation.h"
#include "platform/foundation/WallClock.h"
#include "sdk/analytics/PLREvent.h"
#include "sdk/analytics/PLRMetadataSerializable.h"

namespace wv {

// Appends one event to the event log: a text file of lines "<ms>\t<name>\t<bytes>\t<json>\n"
// whose first line is always the metadata of the run that started it.
//
// Both lines are formatted when the operation is made, on the caller's thread; the file is
// touched only in main(), which the event queue runs one at a time, so lines never
// interleave and exactly one operation decides that a file is new.
//
// A write either lands whole or not at all: a failed or short line is cut off again, and a
// file this operation created is removed when it cannot be written whole, so no file is ever
// left without its metadata line or with part of a line.
class PLRWriteEventOperation : public Operation {
  public:
    PLRWriteEventOperation(std::shared_ptr<const PLREvent> event,
                           const PLRMetadataSerializable& metadata,
                           std::filesystem::path logFileUrl);

    const std::shared_ptr<const PLREvent>& event() const { return event_; }
    const std::filesystem::path& logFileUrl() const { return logFileUrl_; }
    const std::optional<std::string>& formattedEvent() const { return formattedEvent_; }
    const std::optional<std::string>& formattedMetadata() const { return formattedMetadata_; }
    bool success() const { return success_; }

    void main() override;

    static std::optional<std::string> generateFormattedLogLineWithEvent(const PLREvent& event);
    static std::optional<std::string> generateFormattedLogLineWithMetdata(
        const PLRMetadataSerializable& metadata, WallClock::TimePoint timestamp);
    // None when the payload is null, not valid UTF-8, or the name would break the line.
    static std::optional<std::string> logLineWithTimestamp(
        WallClock::TimePoint timestamp, const std::string& eventName,
        const std::optional<nlohmann::ordered_json>& payloadDictionary);

    bool writeDataToDescriptor(int fd, bool preexistingFile) const;
    static bool appendLogLine(const std::string& line, int fd);

  private:
    std::shared_ptr<const PLREvent> event_;
    std::filesystem::path logFileUrl_;
    std::optional<std::string> formattedEvent_;
    std::optional<std::string> formattedMetadata_;
    bool success_ = false;
};

}  // namespace wv
