#pragma once

// One report folder: the record files the crash-time code wrote for one run. From the
// folder's contents alone it tells which run it belongs to, whether it holds anything worth
// sending, whether the run crashed and when, and the version facts of the run's metadata.
// It reads files and never writes them; it is the one place that decides which record files
// make a report submittable and which make it a crash.
//
// Threads: the path may be moved by the reports controller while other threads read the
// report, so the path and the metadata cache are guarded; every reader gets copies.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace wv {

class QXInternalReport {
  public:
    using Date = std::chrono::system_clock::time_point;
    using Sections = std::vector<nlohmann::json>;

    static constexpr const char* kMetadataFile = "metadata.qxrecord";
    static constexpr const char* kBinaryImagesFile = "binary_images.qxrecord";

    // initWithPath.
    static std::shared_ptr<QXInternalReport> reportWithPath(const std::filesystem::path& path);
    // The identifier is the metadata's "identity" / "session_id"; none (after the system log
    // line "[Quellix:Crash] Unable to read identifier at path <path>") without one.
    static std::shared_ptr<QXInternalReport> initWithPath(const std::filesystem::path& path);
    // For the current run's folder, whose metadata may not be written yet. None when either
    // is missing.
    static std::shared_ptr<QXInternalReport> initWithPathExecutionIdentifier(
        const std::optional<std::filesystem::path>& path,
        const std::optional<std::string>& identifier);

    // Every section of a record file, or none when it yields none (missing, empty or
    // unreadable). Never removes the file.
    static std::optional<Sections> readQXFileAtPath(const std::filesystem::path& path);

    // "exception.qxrecord", "mach_exception.qxrecord", "signal.qxrecord".
    static const std::vector<std::string>& crashFilenames();
    // The crash files, the two custom-exception and the two error stores: key-value, log and
    // other records never make a folder worth sending on their own.
    static const std::vector<std::string>& submittableFilenames();

    std::filesystem::path path() const;
    // Where the folder now is, after the reports controller moved it. The identifier and the
    // metadata already read stay.
    void setPath(std::filesystem::path path);
    const std::string& identifier() const { return identifier_; }

    std::string directoryName() const;
    std::filesystem::path pathForContentFile(const std::string& name) const;
    std::filesystem::path metadataPath() const;
    std::filesystem::path binaryImagePath() const;

    // True as soon as one of the names exists in the folder (tried in order).
    bool checkExistenceOfAtLeastOnceFileInArray(const std::vector<std::string>& names) const;
    bool needsToBeSubmitted() const;
    bool isCrash() const;
    // The full path of each crash file, in list order, whether it exists or not.
    void enumerateSymbolicatableFilesInContent(
        const std::function<void(const std::filesystem::path&)>& block) const;

    // The metadata record's sections, read on first success and kept for the report's life.
    std::optional<Sections> metadataSections() const;

    // Metadata facts; each is none when its section or key is missing or of the wrong kind.
    std::optional<std::string> APIKey() const;
    // From "started_at"; a missing or non-numeric value gives none rather than the epoch.
    std::optional<Date> dateCreated() const;
    std::optional<std::string> OSVersion() const;
    std::optional<std::string> OSBuildVersion() const;
    std::optional<std::string> bundleVersion() const;
    std::optional<std::string> bundleShortVersionString() const;
    // Custom keys are read by the public report object; the internal report has none.
    std::optional<nlohmann::json> customKeys() const { return std::nullopt; }

    // For a crash only: the Mach exception record's time, else the signal record's. A folder
    // whose only crash file is the exception record has no crash date.
    std::optional<Date> crashedOnDate() const;
    // Section 0 of the file, the object under `sectionName`, its "time" in whole seconds
    // since 1970.
    std::optional<Date> timeFromCrashContentFile(const std::string& fileName,
                                                 const std::string& sectionName) const;

    QXInternalReport(std::filesystem::path path, std::string identifier);

  private:
    std::optional<std::string> metadataString(size_t section, const char* group,
                                              const char* key) const;

    mutable std::mutex mutex_;
    std::filesystem::path path_;
    const std::string identifier_;
    mutable std::optional<Sections> metadataSections_;
};

}  // namespace wv
