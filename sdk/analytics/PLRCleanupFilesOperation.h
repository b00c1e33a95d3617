#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <vector>

#include "platform/dispatch/Operation.h"

namespace wv {

// Sorts what an earlier run left in the events directory by stage (".log", ".gz",
// ".multipartmime") so that each file can resume at its stage, and removes what cannot:
// foreign entries (temporary files of an interrupted stage included), anything that is not a
// regular file, a ".gz" whose ".log" is still there, and the oldest bodies beyond the maximum.
// A log cut by a crash mid-line is shortened to its last line feed, or removed when no whole
// line is left, so no later stage sees half a line.
//
// Runs on the event queue before anything else touches the directory.
class PLRCleanupFilesOperation : public Operation {
  public:
    using Paths = std::set<std::filesystem::path>;
    // Logs, surviving compressed logs, surviving bodies.
    using SuccessBlock = std::function<void(const Paths&, const Paths&, const Paths&)>;

    PLRCleanupFilesOperation(std::filesystem::path directoryUrl,
                             int64_t maximumPendingMulitpartFiles);

    const std::filesystem::path& directoryUrl() const { return directoryUrl_; }
    int64_t maximumPendingMultipartFiles() const { return maximumPendingMultipartFiles_; }
    void setSuccessBlock(SuccessBlock block) { successBlock_ = std::move(block); }

    void main() override;

    // Deletes the oldest files (by creation date; an unreadable date counts as oldest) beyond
    // `maximumFileCount`, compared as unsigned, and returns the kept ones, newest first.
    static std::vector<std::filesystem::path> URLsByRemovingOldFiles(
        std::vector<std::filesystem::path> files, int64_t maximumFileCount);

    // Cuts a log back to its last line feed; false when nothing whole was left and the file
    // was removed (or could not be read).
    static bool trimLogToLastLine(const std::filesystem::path& log);

  private:
    std::filesystem::path directoryUrl_;
    int64_t maximumPendingMultipartFiles_;
    SuccessBlock successBlock_;
};

}  // namespace wv
