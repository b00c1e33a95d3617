#include "sdk/analytics/PLRFileUtils.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <mutex>
#include <system_error>

#include "sdk/analytics/PLRLogger.h"

namespace wv {
namespace {

std::mutex gDateSourceMutex;
PLRFileUtils::CreatedDateSource gDateSource;

PLRFileUtils::Date fromTimestamp(int64_t seconds, uint32_t nanoseconds) {
    return PLRFileUtils::Date(std::chrono::duration_cast<PLRFileUtils::Date::duration>(
        std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanoseconds)));
}

}  // namespace

std::set<std::filesystem::path> PLRFileUtils::allFilesInDirectory(
    const std::filesystem::path& directory) {
    std::set<std::filesystem::path> out;
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    if (ec) {
        PLRLogger::sharedLogger().log("Unable to read contents of " + directory.string() + ": " +
                                      ec.message());
        return {};
    }
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        out.insert(directory / it->path().filename());
    }
    if (ec) {
        PLRLogger::sharedLogger().log("Unable to read contents of " + directory.string() + ": " +
                                      ec.message());
        return {};
    }
    return out;
}

std::set<std::filesystem::path> PLRFileUtils::filesWithExtension(
    const std::string& extension, const std::filesystem::path& directory) {
    std::set<std::filesystem::path> out;
    for (const auto& path : allFilesInDirectory(directory))
        if (pathExtension(path) == extension) out.insert(path);
    return out;
}

std::string PLRFileUtils::pathExtension(const std::filesystem::path& path) {
    std::string ext = path.filename().extension().string();
    return ext.empty() ? std::string() : ext.substr(1);
}

std::string PLRFileUtils::baseName(const std::filesystem::path& path) {
    return path.filename().stem().string();
}

uint64_t PLRFileUtils::fileSizeAtURL(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return uint64_t(st.st_size);
}

PLRFileUtils::Date PLRFileUtils::fileCreatedDateAtURL(const std::filesystem::path& path,
                                                      Date fallback) {
    {
        std::lock_guard lock(gDateSourceMutex);
        if (gDateSource) return gDateSource(path).value_or(fallback);
    }
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_CTIME, &sx) != 0) return fallback;
    if (sx.stx_mask & STATX_BTIME) return fromTimestamp(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
    if (sx.stx_mask & STATX_CTIME) return fromTimestamp(sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec);
    return fallback;
}

void PLRFileUtils::setCreatedDateSourceForTesting(CreatedDateSource source) {
    std::lock_guard lock(gDateSourceMutex);
    gDateSource = std::move(source);
}

}  // namespace wv
