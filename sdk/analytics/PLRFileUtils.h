#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>

namespace wv {

// The file-system queries of the event pipeline. Paths stand for file URLs; names are taken
// as the bytes they are, so a name that is not UTF-8 is listed like any other.
class PLRFileUtils {
  public:
    using Date = std::chrono::system_clock::time_point;

    // Every entry of the directory, subdirectories included, not recursive; empty (with a
    // message) when the directory cannot be read.
    static std::set<std::filesystem::path> allFilesInDirectory(
        const std::filesystem::path& directory);
    // `extension` without its dot ("log").
    static std::set<std::filesystem::path> filesWithExtension(
        const std::string& extension, const std::filesystem::path& directory);
    // "x.log" gives "log"; a name without a dot, or one that only starts with a dot, gives "".
    static std::string pathExtension(const std::filesystem::path& path);
    static std::string baseName(const std::filesystem::path& path);
    // 0 when the file's attributes cannot be read.
    static uint64_t fileSizeAtURL(const std::filesystem::path& path);
    // The birth time where the file system keeps one, else the last change of the inode;
    // `fallback` when neither can be read.
    static Date fileCreatedDateAtURL(const std::filesystem::path& path, Date fallback);

    // Tests: where creation dates come from (none given: read from the file). Returning
    // nothing means the date cannot be read.
    using CreatedDateSource = std::function<std::optional<Date>(const std::filesystem::path&)>;
    static void setCreatedDateSourceForTesting(CreatedDateSource source);
};

}  // namespace wv
