#include "sdk/analytics/PLRWriteEventOperation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sdk/analytics/PLRLogger.h"

namespace wv {
namespace {

constexpr const char* kLabel = "WriteOperation";

double secondsSince1970(WallClock::TimePoint t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

// Truncation toward zero; a time before 1970 has no unsigned form and is written as 0.
uint64_t truncated(double value) { return value > 0 ? uint64_t(value) : 0; }

void logError(const std::string& text) { PLRLogger::sharedLogger().logWithLabel(kLabel, text); }

}  // namespace

PLRWriteEventOperation::PLRWriteEventOperation(std::shared_ptr<const PLREvent> event,
                                               const PLRMetadataSerializable& metadata,
                                               std::filesystem::path logFileUrl)
    : event_(std::move(event)), logFileUrl_(std::move(logFileUrl)) {
    if (event_) {
        formattedEvent_ = generateFormattedLogLineWithEvent(*event_);
        formattedMetadata_ = generateFormattedLogLineWithMetdata(metadata, event_->timestamp());
    }
}

std::optional<std::string> PLRWriteEventOperation::generateFormattedLogLineWithEvent(
    const PLREvent& event) {
    return logLineWithTimestamp(event.timestamp(), event.name(), event.dictionaryRepresentation());
}

std::optional<std::string> PLRWriteEventOperation::generateFormattedLogLineWithMetdata(
    const PLRMetadataSerializable& metadata, WallClock::TimePoint timestamp) {
    return logLineWithTimestamp(
        timestamp, metadata.eventName(),
        metadata.dictionaryRepresentationWithStartTime(truncated(secondsSince1970(timestamp))));
}

std::optional<std::string> PLRWriteEventOperation::logLineWithTimestamp(
    WallClock::TimePoint timestamp, const std::string& eventName,
    const std::optional<nlohmann::ordered_json>& payloadDictionary) {
    if (!payloadDictionary || payloadDictionary->is_null()) return std::nullopt;
    // The name is the one field written raw: a separator in it would shift every later field.
    if (eventName.find_first_of("\t\n\r") != std::string::npos) return std::nullopt;
    std::string json;
    try {
        json = payloadDictionary->dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
    const uint64_t ms = truncated(secondsSince1970(timestamp) * 1000.0);
    return std::to_string(ms) + "\t" + eventName + "\t" + std::to_string(json.size()) + "\t" + json;
}

void PLRWriteEventOperation::main() {
    success_ = false;
    struct stat st {};
    const bool existed = ::stat(logFileUrl_.c_str(), &st) == 0;
    if (existed && S_ISDIR(st.st_mode)) return;
    int fd = ::open(logFileUrl_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && errno == ENOENT && logFileUrl_.has_parent_path()) {
        // The events folder was removed under the running kit: make it again rather than lose
        // every later event of the run.
        std::error_code ec;
        std::filesystem::create_directories(logFileUrl_.parent_path(), ec);
        fd = ::open(logFileUrl_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    }
    if (fd < 0) return;
    // An empty file counts as new: a run that died between creating and writing it must not
    // leave a log that starts with an event instead of its metadata.
    struct stat opened {};
    off_t sizeBefore = 0;
    if (::fstat(fd, &opened) == 0) sizeBefore = opened.st_size;
    const bool preexisting = existed && sizeBefore > 0;

    const bool regular = S_ISREG(opened.st_mode);
    success_ = writeDataToDescriptor(fd, preexisting);
    if (!success_ && regular && sizeBefore > 0) {
        if (::ftruncate(fd, sizeBefore) != 0)
            logError(std::string("Failed to undo a partial line, error: ") + std::strerror(errno));
    }
    if (::close(fd) != 0) {
        logError(std::string("Failed to close file, error: ") + std::strerror(errno));
        success_ = false;
    }
    if (!success_ && regular && sizeBefore == 0) ::unlink(logFileUrl_.c_str());
}

bool PLRWriteEventOperation::writeDataToDescriptor(int fd, bool preexistingFile) const {
    if (!formattedEvent_ || !formattedMetadata_) return false;
    if (!preexistingFile && !appendLogLine(*formattedMetadata_, fd)) return false;
    return appendLogLine(*formattedEvent_, fd);
}

bool PLRWriteEventOperation::appendLogLine(const std::string& line, int fd) {
    const std::string bytes = line + "\n";
    const char* cursor = bytes.data();
    size_t remaining = bytes.size();
    for (int calls = 1;; ++calls) {
        errno = 0;
        ssize_t written = ::write(fd, cursor, remaining);
        if (written < 0) logError(std::string("Failed to write: ") + std::strerror(errno) + "\n");
        if (written >= 0 && size_t(written) == remaining) return true;
        if (written > 0 && size_t(written) > remaining) {
            logError("Error: length doesn't make sense (" + std::to_string(written) + ", " +
                     std::to_string(remaining) + ")\n");
            return false;
        }
        if (written > 0 && calls < 3) {
            cursor += written;
            remaining -= size_t(written);
            continue;
        }
        logError("Error: exited write loop without success\n");
        return false;
    }
}

}  // namespace wv
