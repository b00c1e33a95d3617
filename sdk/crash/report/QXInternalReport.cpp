#include "sdk/crash/report/QXInternalReport.h"

#include "platform/foundation/Log.h"
#include "sdk/crash/context/QXFileReadSections.h"

namespace wv {
namespace {

// The object under `group` in section `index`, when there is one.
const nlohmann::json* groupOf(const std::optional<QXInternalReport::Sections>& sections,
                              size_t index, const char* group) {
    if (!sections || index >= sections->size()) return nullptr;
    const nlohmann::json& section = (*sections)[index];
    auto found = section.find(group);
    if (found == section.end() || !found->is_object()) return nullptr;
    return &*found;
}

// Whole seconds since 1970 stored as an unsigned number; anything else is no date.
std::optional<QXInternalReport::Date> dateOf(const nlohmann::json* group, const char* key) {
    if (group == nullptr) return std::nullopt;
    auto found = group->find(key);
    if (found == group->end() || !found->is_number_unsigned()) return std::nullopt;
    const auto seconds = found->get<uint64_t>();
    // A value beyond what the clock can hold is garbage, not a date.
    if (seconds > uint64_t(std::chrono::duration_cast<std::chrono::seconds>(
                               QXInternalReport::Date::duration::max())
                               .count()))
        return std::nullopt;
    return QXInternalReport::Date(std::chrono::seconds(int64_t(seconds)));
}

}  // namespace

QXInternalReport::QXInternalReport(std::filesystem::path path, std::string identifier)
    : path_(std::move(path)), identifier_(std::move(identifier)) {}

std::shared_ptr<QXInternalReport> QXInternalReport::reportWithPath(
    const std::filesystem::path& path) {
    return initWithPath(path);
}

std::shared_ptr<QXInternalReport> QXInternalReport::initWithPath(
    const std::filesystem::path& path) {
    std::optional<Sections> metadata = readQXFileAtPath(path / kMetadataFile);
    std::optional<std::string> identifier;
    if (const nlohmann::json* identity = groupOf(metadata, 0, "identity")) {
        auto found = identity->find("session_id");
        if (found != identity->end() && found->is_string()) identifier = found->get<std::string>();
    }
    if (!identifier) {
        Log::system("[Quellix:Crash] Unable to read identifier at path " + path.string());
        return nullptr;
    }
    auto report = initWithPathExecutionIdentifier(path, identifier);
    if (report) report->metadataSections_ = std::move(metadata);
    return report;
}

std::shared_ptr<QXInternalReport> QXInternalReport::initWithPathExecutionIdentifier(
    const std::optional<std::filesystem::path>& path,
    const std::optional<std::string>& identifier) {
    if (!path || !identifier) return nullptr;
    return std::make_shared<QXInternalReport>(*path, *identifier);
}

std::optional<QXInternalReport::Sections> QXInternalReport::readQXFileAtPath(
    const std::filesystem::path& path) {
    std::optional<Sections> sections = QXFileReadSections(path, false);
    if (!sections || sections->empty()) return std::nullopt;
    return sections;
}

const std::vector<std::string>& QXInternalReport::crashFilenames() {
    static const std::vector<std::string> names = {"exception.qxrecord", "mach_exception.qxrecord",
                                                   "signal.qxrecord"};
    return names;
}

const std::vector<std::string>& QXInternalReport::submittableFilenames() {
    static const std::vector<std::string> names = {"exception.qxrecord",
                                                   "signal.qxrecord",
                                                   "custom_exception_a.qxrecord",
                                                   "custom_exception_b.qxrecord",
                                                   "mach_exception.qxrecord",
                                                   "errors_a.qxrecord",
                                                   "errors_b.qxrecord"};
    return names;
}

std::filesystem::path QXInternalReport::path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void QXInternalReport::setPath(std::filesystem::path path) {
    std::lock_guard lock(mutex_);
    path_ = std::move(path);
}

std::string QXInternalReport::directoryName() const {
    std::filesystem::path folder = path();
    // "/a/b/" names the folder b, as "/a/b" does.
    if (!folder.has_filename()) folder = folder.parent_path();
    return folder.filename().string();
}

std::filesystem::path QXInternalReport::pathForContentFile(const std::string& name) const {
    return path() / name;
}

std::filesystem::path QXInternalReport::metadataPath() const {
    return pathForContentFile(kMetadataFile);
}

std::filesystem::path QXInternalReport::binaryImagePath() const {
    return pathForContentFile(kBinaryImagesFile);
}

bool QXInternalReport::checkExistenceOfAtLeastOnceFileInArray(
    const std::vector<std::string>& names) const {
    for (const std::string& name : names) {
        std::error_code ec;
        if (std::filesystem::exists(pathForContentFile(name), ec)) return true;
    }
    return false;
}

bool QXInternalReport::needsToBeSubmitted() const {
    return checkExistenceOfAtLeastOnceFileInArray(submittableFilenames());
}

bool QXInternalReport::isCrash() const {
    return checkExistenceOfAtLeastOnceFileInArray(crashFilenames());
}

void QXInternalReport::enumerateSymbolicatableFilesInContent(
    const std::function<void(const std::filesystem::path&)>& block) const {
    if (!block) return;
    for (const std::string& name : crashFilenames()) block(pathForContentFile(name));
}

std::optional<QXInternalReport::Sections> QXInternalReport::metadataSections() const {
    std::filesystem::path metadata;
    {
        std::lock_guard lock(mutex_);
        if (metadataSections_) return metadataSections_;
        metadata = path_ / kMetadataFile;
    }
    std::optional<Sections> sections = readQXFileAtPath(metadata);
    std::lock_guard lock(mutex_);
    // Kept only once read: the current run's metadata may not be written yet.
    if (!metadataSections_) metadataSections_ = std::move(sections);
    return metadataSections_;
}

std::optional<std::string> QXInternalReport::metadataString(size_t section, const char* group,
                                                            const char* key) const {
    const std::optional<Sections> sections = metadataSections();
    const nlohmann::json* object = groupOf(sections, section, group);
    if (object == nullptr) return std::nullopt;
    auto found = object->find(key);
    if (found == object->end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

std::optional<std::string> QXInternalReport::APIKey() const {
    return metadataString(0, "identity", "api_key");
}

std::optional<QXInternalReport::Date> QXInternalReport::dateCreated() const {
    const std::optional<Sections> sections = metadataSections();
    return dateOf(groupOf(sections, 0, "identity"), "started_at");
}

std::optional<std::string> QXInternalReport::OSVersion() const {
    return metadataString(1, "host", "os_display_version");
}

std::optional<std::string> QXInternalReport::OSBuildVersion() const {
    return metadataString(1, "host", "os_build_version");
}

std::optional<std::string> QXInternalReport::bundleVersion() const {
    return metadataString(2, "application", "build_version");
}

std::optional<std::string> QXInternalReport::bundleShortVersionString() const {
    return metadataString(2, "application", "display_version");
}

std::optional<QXInternalReport::Date> QXInternalReport::crashedOnDate() const {
    if (!isCrash()) return std::nullopt;
    if (auto date = timeFromCrashContentFile("mach_exception.qxrecord", "mach_exception"))
        return date;
    return timeFromCrashContentFile("signal.qxrecord", "signal");
}

std::optional<QXInternalReport::Date> QXInternalReport::timeFromCrashContentFile(
    const std::string& fileName, const std::string& sectionName) const {
    std::optional<Sections> sections = readQXFileAtPath(pathForContentFile(fileName));
    return dateOf(groupOf(sections, 0, sectionName.c_str()), "time");
}

}  // namespace wv
