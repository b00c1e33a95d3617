#include "sdk/analytics/PLRCleanupFilesOperation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <system_error>

#include "sdk/analytics/PLRFileUtils.h"
#include "sdk/analytics/PLRLogger.h"
#include "sdk/analytics/PLRPackageLogOperation.h"

namespace wv {
namespace {

bool isRegularFile(const std::filesystem::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void removeEntry(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

}  // namespace

PLRCleanupFilesOperation::PLRCleanupFilesOperation(std::filesystem::path directoryUrl,
                                                   int64_t maximumPendingMulitpartFiles)
    : directoryUrl_(std::move(directoryUrl)),
      maximumPendingMultipartFiles_(maximumPendingMulitpartFiles) {}

void PLRCleanupFilesOperation::main() {
    std::map<std::string, std::filesystem::path> logs, compressed, bodies;
    for (const auto& entry : PLRFileUtils::allFilesInDirectory(directoryUrl_)) {
        const std::string ext = PLRFileUtils::pathExtension(entry);
        const std::string base = PLRFileUtils::baseName(entry);
        std::map<std::string, std::filesystem::path>* table = nullptr;
        if (ext == "log")
            table = &logs;
        else if (ext == "gz")
            table = &compressed;
        else if (ext == "multipartmime")
            table = &bodies;
        // A directory or a link under a stage's name is no stage's output: every stage
        // writes regular files only.
        if (!table || !isRegularFile(entry)) {
            removeEntry(entry);
            continue;
        }
        (*table)[base] = entry;
    }

    for (auto it = logs.begin(); it != logs.end();) {
        if (trimLogToLastLine(it->second)) {
            ++it;
        } else {
            it = logs.erase(it);
        }
    }

    for (const auto& [base, log] : logs) {
        auto found = compressed.find(base);
        if (found == compressed.end()) continue;
        std::error_code ec;
        if (!std::filesystem::remove(found->second, ec) || ec) {
            PLRLogger::sharedLogger().logWithLabel(
                "CleanupOperation", "Failed to remove " + found->second.string() + ": " +
                                        (ec ? ec.message() : std::string("no such file")));
        }
        compressed.erase(found);
    }

    // A ".gz" whose body is already in place was packaged by a run that stopped before
    // removing it; packaging it again would send the same events twice.
    for (auto it = compressed.begin(); it != compressed.end();) {
        if (bodies.count(PLRPackageLogOperation::boundaryForCompressedURL(it->second))) {
            removeEntry(it->second);
            it = compressed.erase(it);
        } else {
            ++it;
        }
    }

    std::vector<std::filesystem::path> bodyList;
    for (const auto& [base, path] : bodies) bodyList.push_back(path);
    bodyList = URLsByRemovingOldFiles(std::move(bodyList), maximumPendingMultipartFiles_);

    if (!successBlock_) return;
    Paths logSet, compressedSet, bodySet(bodyList.begin(), bodyList.end());
    for (const auto& [base, path] : logs) logSet.insert(path);
    for (const auto& [base, path] : compressed) compressedSet.insert(path);
    successBlock_(logSet, compressedSet, bodySet);
}

std::vector<std::filesystem::path> PLRCleanupFilesOperation::URLsByRemovingOldFiles(
    std::vector<std::filesystem::path> files, int64_t maximumFileCount) {
    const uint64_t maximum = uint64_t(maximumFileCount);
    if (uint64_t(files.size()) <= maximum) return files;
    const auto distantPast = PLRFileUtils::Date::min();
    std::vector<std::pair<PLRFileUtils::Date, std::filesystem::path>> dated;
    for (auto& f : files) dated.emplace_back(PLRFileUtils::fileCreatedDateAtURL(f, distantPast), f);
    std::stable_sort(dated.begin(), dated.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::filesystem::path> kept;
    for (size_t i = 0; i < dated.size(); ++i) {
        if (i < maximum) {
            kept.push_back(dated[i].second);
        } else {
            std::error_code ec;
            std::filesystem::remove(dated[i].second, ec);
        }
    }
    return kept;
}

bool PLRCleanupFilesOperation::trimLogToLastLine(const std::filesystem::path& log) {
    int fd = ::open(log.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return true;  // left for the compression step to report
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return true;
    }
    // Reads backwards a block at a time: the tail is what a crash can have cut.
    off_t end = st.st_size;
    off_t keep = 0;
    char buffer[4096];
    while (end > 0) {
        off_t start = end > off_t(sizeof buffer) ? end - off_t(sizeof buffer) : 0;
        ssize_t n = ::pread(fd, buffer, size_t(end - start), start);
        if (n != end - start) {
            ::close(fd);
            return true;
        }
        const void* found = ::memrchr(buffer, '\n', size_t(n));
        if (found) {
            keep = start + (static_cast<const char*>(found) - buffer) + 1;
            break;
        }
        end = start;
    }
    if (keep == 0) {
        ::close(fd);
        removeEntry(log);
        return false;
    }
    // A log that cannot be cut stays where it is, but is not handed on with half a line.
    const bool cut = keep == st.st_size || ::ftruncate(fd, keep) == 0;
    if (!cut) {
        PLRLogger::sharedLogger().logWithLabel(
            "CleanupOperation", "Failed to cut " + log.string() + " back to its last line");
    }
    ::close(fd);
    return cut;
}

}  // namespace wv
