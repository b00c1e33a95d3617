#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dispatch/Operation.h"
#include "sdk/core/TRNMultipartMimeStreamEncoder.h"

struct gzFile_s;  // zlib's gzFile

namespace wv {

class QXFileManager;
class QXInternalReport;

// Turns one processed report folder into the single file that is uploaded: a multipart body
// in the prepared folder, named "<boundary>.multipartmime", so that the boundary can be read
// back from the name alone. It holds "api_key", "report_id" and one part per file of the
// folder, each gzip-compressed beside the file first. ".gz" files of an earlier attempt are
// never packaged themselves.
//
// Runs synchronously (start() on the caller's thread). `finalPath` is set only when the
// whole body reached the disk and the run was not cancelled; otherwise the partial file is
// removed, so that nobody uploads half a report and deletes its folder for it.
class QXPackageReportOperation : public Operation {
  public:
    static constexpr const char* kPackageExtension = "multipartmime";
    static constexpr const char* kCompressedMimeType = "application/x-gzip";
    static constexpr const char* kUncompressedMimeType = "text/plain";

    QXPackageReportOperation(std::shared_ptr<QXInternalReport> report,
                             std::shared_ptr<QXFileManager> fileManager);

    const std::shared_ptr<QXInternalReport>& report() const { return report_; }
    const std::shared_ptr<QXFileManager>& fileManager() const { return fileManager_; }
    const std::optional<std::filesystem::path>& finalPath() const { return finalPath_; }

    std::filesystem::path reportPath() const;
    std::filesystem::path destinationDirectory() const;
    std::filesystem::path packagedPathWithName(const std::string& name) const;

    void main() override;

    // One file part: the compressed copy when compression works, else the file itself as
    // text under its own name.
    void encode(TRNMultipartMimeStreamEncoder& encoder, std::string_view data,
                const std::filesystem::path& path) const;
    // True when every byte went to a new gzip file at the path (zlib's default level).
    static bool compressData(std::string_view data, const std::filesystem::path& path);
    static bool writeBytes(const uint8_t* bytes, size_t length, gzFile_s* file);

  private:
    std::shared_ptr<QXInternalReport> report_;
    std::shared_ptr<QXFileManager> fileManager_;
    std::optional<std::filesystem::path> finalPath_;
};

}  // namespace wv
