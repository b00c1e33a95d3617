#pragma once

// The on-disk layout in which crash reports live from the run that writes them until their
// upload, and the few file operations the crash kit needs on it. Each operation logs its own
// failure and reports it as false or none; nothing throws.
//
//   <Caches>/com.quellix.data/<bundle id>      rootPath
//     sendable                                 marker of the legacy layout
//     v3/                                      structurePath (also the launch marker)
//       active/<execution id>/                 one folder per run, its record files
//       pending/                               not filled by the current flows
//       processing/<execution id>/             reports being symbolicated and packaged
//       prepared/<boundary>.multipartmime      packaged uploads
//
// A report moves active -> processing -> prepared file -> removed after its upload.
//
// Names that begin with "." are never listed, moved or removed. Listings come sorted by name,
// so a folder's files are always handled in the same order. A missing folder lists as empty.
//
// Threads: the paths are fixed at construction; every operation may run on any thread.
// Callers order their own moves and removals. The one exception is the legacy layout: its
// removal takes the whole root, so it and the preparation of the new layout exclude each
// other, and the preparation removes a legacy layout itself first. Whichever of the two runs
// first, the current run's folders survive.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace wv {

class QXInternalReport;

class QXFileManager {
  public:
    using Path = std::filesystem::path;
    // The entry's full path and its path extension without the dot ("" when it has none).
    using FileBlock = std::function<void(const Path& path, const std::string& extension)>;
    // The report may be null when the entry holds no readable metadata.
    using ReportBlock =
        std::function<void(const std::shared_ptr<QXInternalReport>& report, const Path& path)>;

    // The root under the user's caches folder for the main bundle's identifier. No folder is
    // created.
    QXFileManager();
    // A tree under another root (tests, tools). No folder is created.
    explicit QXFileManager(Path rootPath);

    const Path& rootPath() const { return rootPath_; }
    // The bundle identifier with "/" replaced by "_"; an identifier that is missing, or that
    // would be "." or "..", is prefixed with "_" so the root is always a folder of its own
    // inside "com.quellix.data".
    static std::string pathNamespace();

    Path structurePath() const;
    Path activePath() const;
    Path pendingPath() const;
    Path processingPath() const;
    Path preparedPath() const;

    // With intermediate folders; each folder made here gets permissions 0755. True when the
    // folder exists afterwards. Logs "[FileManager] Unable to create directory <error>".
    bool createDirectoryAtPath(const Path& path) const;
    // A file or a whole folder. An empty path stands for no path: false. False too when
    // nothing was there to remove. Logs "[FileManager] Failed to remove file '<path>' :
    // <error>".
    bool removeItemAtPath(const Path& path) const;
    // Every visible entry is attempted; true when all went (also for an empty or missing
    // folder).
    bool removeContentsOfDirectoryAtPath(const Path& path) const;
    // To <directory>/<the item's name>. Never replaces what is already there. An empty path
    // stands for none: logs "[FileManager] Failed to move file, inputs invalid"; a failed move
    // logs "[FileManager] Failed to move file: <error>".
    bool moveItemAtPath(const Path& item, const Path& directory) const;
    // Stops at the first failed move, leaving the later entries in place; true when all moved.
    bool moveItemsFromDirectory(const Path& from, const Path& to) const;
    // An unreadable folder lists nothing.
    void enumerateFilesInDirectory(const Path& directory, const FileBlock& block) const;
    // Logs "[Client] Unable to read file size: <error>" and gives none on failure.
    std::optional<uint64_t> fileSizeAtPath(const Path& path) const;
    // Full paths of the visible entries.
    std::vector<Path> contentsOfDirectory(const Path& directory) const;

    std::vector<Path> activePathContents() const;
    std::vector<Path> processingPathContents() const;
    std::vector<Path> preparedPathContents() const;

    // Removes a legacy layout (see removeLegacyDirectories), then creates active, processing
    // and prepared, in this order, stopping at the first failure. Pending is not created.
    bool prepareForNewLaunch() const;
    // Creates active/<identifier>; none when it cannot be made or the identifier is no plain
    // folder name.
    std::optional<Path> setupNewPathForExecutionIdentifier(const std::string& identifier) const;
    // When root/"sendable" exists the whole root goes, with everything in it. Logs
    // "[Quellix:FileManager] Unable to remove legacy directory structure <error>" on failure,
    // and in both cases "[Quellix:FileManager] Removed legacy structure at <root>".
    void removeLegacyDirectories() const;

    // An internal report opened on each visible entry of processing, with the entry's path.
    void enumerateReportsInProcessingDirectoryUsingBlock(const ReportBlock& block) const;
    void enumerateFilesInActiveDirectoryUsingBlock(const FileBlock& block) const;
    void enumerateFilesInPreparedDirectoryUsingBlock(const FileBlock& block) const;

    bool movePendingToProcessing() const;
    bool moveProcessingContentsToPrepared() const;
    bool removeContentsOfProcessingPath() const;
    bool removeContentsOfPendingPath() const;
    // Empties processing, pending, prepared and active, in this order, always all four; true
    // when all succeeded.
    bool removeContentsOfAllPaths() const;

  private:
    void removeLegacyDirectoriesLocked() const;

    const Path rootPath_;
    // Orders the legacy removal against the preparation of the new layout.
    mutable std::mutex layoutMutex_;
};

}  // namespace wv
