#include "sdk/crash/report/QXFileManager.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "sdk/core/TRNApplication.h"
#include "sdk/crash/report/QXInternalReport.h"

namespace wv {

namespace {

namespace fs = std::filesystem;

std::string describe(const fs::path& path, int error) {
    return "'" + path.string() + "': " + std::strerror(error);
}

std::string describe(const fs::path& path, const std::error_code& error) {
    return "'" + path.string() + "': " + error.message();
}

bool isVisible(const fs::path& path) {
    const std::string name = path.filename().string();
    return !name.empty() && name[0] != '.';
}

// "a/b/" names the folder "b", as "a/b" does.
fs::path withoutTrailingSeparator(fs::path path) {
    if (!path.has_filename() && path.has_parent_path() && path != path.root_path())
        path = path.parent_path();
    return path;
}

std::string extensionOf(const fs::path& path) {
    const std::string extension = path.extension().string();
    return extension.size() > 1 ? extension.substr(1) : std::string();
}

// Never over an existing entry: rename(2) would silently replace a file or an empty folder.
bool renameWithoutReplacing(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: check first (a narrow race, but no silent loss).
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// Across file systems a folder is copied whole under a temporary name beside the target and
// renamed into place, then the source goes: the target never appears half-copied.
bool copyAcross(const fs::path& from, const fs::path& to, std::string& error) {
    const fs::path temporary = to.parent_path() / ("." + to.filename().string() + ".moving");
    std::error_code ec;
    fs::remove_all(temporary, ec);
    fs::copy(from, temporary, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        error = describe(from, ec);
        fs::remove_all(temporary, ec);
        return false;
    }
    if (!renameWithoutReplacing(temporary, to)) {
        error = describe(to, errno);
        fs::remove_all(temporary, ec);
        return false;
    }
    fs::remove_all(from, ec);
    return true;
}

}  // namespace

QXFileManager::QXFileManager()
    : QXFileManager(Folders::cacheHome() / "com.quellix.data" / pathNamespace()) {}

QXFileManager::QXFileManager(Path rootPath) : rootPath_(std::move(rootPath)) {}

std::string QXFileManager::pathNamespace() {
    const std::string identifier = TRNApplicationBundleIdentifier().value_or("");
    // Removing the legacy layout takes the whole root: it must never be the caches folder
    // itself or the folder of every application.
    if (identifier.empty() || identifier == "." || identifier == "..") return "_" + identifier;
    return identifier;
}

QXFileManager::Path QXFileManager::structurePath() const { return rootPath_ / "v3"; }
QXFileManager::Path QXFileManager::activePath() const { return structurePath() / "active"; }
QXFileManager::Path QXFileManager::pendingPath() const { return structurePath() / "pending"; }
QXFileManager::Path QXFileManager::processingPath() const {
    return structurePath() / "processing";
}
QXFileManager::Path QXFileManager::preparedPath() const { return structurePath() / "prepared"; }

bool QXFileManager::createDirectoryAtPath(const Path& path) const {
    if (path.empty()) {
        Log::system("[FileManager] Unable to create directory '': no path given");
        return false;
    }
    // The folders that are missing, innermost first.
    std::vector<Path> missing;
    for (Path p = withoutTrailingSeparator(path.lexically_normal()); !p.empty();
         p = p.parent_path()) {
        struct stat st;
        if (::stat(p.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) break;
            Log::system("[FileManager] Unable to create directory " + describe(p, ENOTDIR));
            return false;
        }
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0755) != 0) {
            if (errno == EEXIST && fs::is_directory(*it)) continue;  // made meanwhile
            Log::system("[FileManager] Unable to create directory " + describe(*it, errno));
            return false;
        }
        // The process's umask must not narrow the folder's permissions.
        ::chmod(it->c_str(), 0755);
    }
    return true;
}

bool QXFileManager::removeItemAtPath(const Path& path) const {
    if (path.empty()) {
        Log::system("[FileManager] Failed to remove file '' : no path given");
        return false;
    }
    std::error_code ec;
    const auto removed = fs::remove_all(path, ec);
    if (ec) {
        Log::system("[FileManager] Failed to remove file '" + path.string() + "' : " +
                    ec.message());
        return false;
    }
    if (removed == 0) {
        Log::system("[FileManager] Failed to remove file '" + path.string() + "' : " +
                    std::strerror(ENOENT));
        return false;
    }
    return true;
}

bool QXFileManager::removeContentsOfDirectoryAtPath(const Path& path) const {
    bool all = true;
    for (const Path& entry : contentsOfDirectory(path)) all = removeItemAtPath(entry) && all;
    return all;
}

bool QXFileManager::moveItemAtPath(const Path& item, const Path& directory) const {
    if (item.empty() || directory.empty()) {
        Log::system("[FileManager] Failed to move file, inputs invalid");
        return false;
    }
    const Path source = withoutTrailingSeparator(item);
    const Path target = directory / source.filename();
    // A report that is already at the target stays where it is rather than replacing it.
    if (renameWithoutReplacing(source, target)) return true;
    const int error = errno;
    std::string message = describe(source, error);
    if (error == EXDEV && copyAcross(source, target, message)) return true;
    Log::system("[FileManager] Failed to move file: " + message);
    return false;
}

bool QXFileManager::moveItemsFromDirectory(const Path& from, const Path& to) const {
    for (const Path& entry : contentsOfDirectory(from)) {
        if (!moveItemAtPath(entry, to)) return false;
    }
    return true;
}

void QXFileManager::enumerateFilesInDirectory(const Path& directory,
                                              const FileBlock& block) const {
    for (const Path& entry : contentsOfDirectory(directory)) block(entry, extensionOf(entry));
}

std::optional<uint64_t> QXFileManager::fileSizeAtPath(const Path& path) const {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        Log::system("[Client] Unable to read file size: " +
                    describe(path, path.empty() ? ENOENT : errno));
        return std::nullopt;
    }
    return uint64_t(st.st_size);
}

std::vector<QXFileManager::Path> QXFileManager::contentsOfDirectory(const Path& directory) const {
    std::vector<Path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        if (isVisible(it->path())) entries.push_back(it->path());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<QXFileManager::Path> QXFileManager::activePathContents() const {
    return contentsOfDirectory(activePath());
}
std::vector<QXFileManager::Path> QXFileManager::processingPathContents() const {
    return contentsOfDirectory(processingPath());
}
std::vector<QXFileManager::Path> QXFileManager::preparedPathContents() const {
    return contentsOfDirectory(preparedPath());
}

bool QXFileManager::prepareForNewLaunch() const {
    std::lock_guard lock(layoutMutex_);
    removeLegacyDirectoriesLocked();
    return createDirectoryAtPath(activePath()) && createDirectoryAtPath(processingPath()) &&
           createDirectoryAtPath(preparedPath());
}

std::optional<QXFileManager::Path> QXFileManager::setupNewPathForExecutionIdentifier(
    const std::string& identifier) const {
    if (identifier.empty() || identifier == "." || identifier == ".." ||
        identifier.find('/') != std::string::npos) {
        Log::system("[FileManager] Unable to create directory for the execution identifier '" +
                    identifier + "': not a folder name");
        return std::nullopt;
    }
    std::lock_guard lock(layoutMutex_);
    Path path = activePath() / identifier;
    if (!createDirectoryAtPath(path)) return std::nullopt;
    return path;
}

void QXFileManager::removeLegacyDirectories() const {
    std::lock_guard lock(layoutMutex_);
    removeLegacyDirectoriesLocked();
}

void QXFileManager::removeLegacyDirectoriesLocked() const {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(rootPath_ / "sendable", ec))) return;
    fs::remove_all(rootPath_, ec);
    if (ec) {
        Log::system("[Quellix:FileManager] Unable to remove legacy directory structure " +
                    describe(rootPath_, ec));
    }
    Log::system("[Quellix:FileManager] Removed legacy structure at " + rootPath_.string());
}

void QXFileManager::enumerateReportsInProcessingDirectoryUsingBlock(
    const ReportBlock& block) const {
    for (const Path& entry : processingPathContents())
        block(QXInternalReport::reportWithPath(entry), entry);
}

void QXFileManager::enumerateFilesInActiveDirectoryUsingBlock(const FileBlock& block) const {
    enumerateFilesInDirectory(activePath(), block);
}

void QXFileManager::enumerateFilesInPreparedDirectoryUsingBlock(const FileBlock& block) const {
    enumerateFilesInDirectory(preparedPath(), block);
}

bool QXFileManager::movePendingToProcessing() const {
    return moveItemsFromDirectory(pendingPath(), processingPath());
}

bool QXFileManager::moveProcessingContentsToPrepared() const {
    return moveItemsFromDirectory(processingPath(), preparedPath());
}

bool QXFileManager::removeContentsOfProcessingPath() const {
    return removeContentsOfDirectoryAtPath(processingPath());
}

bool QXFileManager::removeContentsOfPendingPath() const {
    return removeContentsOfDirectoryAtPath(pendingPath());
}

bool QXFileManager::removeContentsOfAllPaths() const {
    bool all = removeContentsOfProcessingPath();
    all = removeContentsOfPendingPath() && all;
    all = removeContentsOfDirectoryAtPath(preparedPath()) && all;
    all = removeContentsOfDirectoryAtPath(activePath()) && all;
    return all;
}

}  // namespace wv
