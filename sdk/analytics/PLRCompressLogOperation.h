#pragma once

#include <filesystem>

#include "platform/dispatch/Operation.h"

namespace wv {

// Turns a finished event log ("<name>.log") into "<name>.gz". The gzip stream is written to a
// temporary file beside it (no stage extension, so a crash leaves nothing that looks like a
// stage's output), checked write by write and at close, flushed to disk, and only then renamed
// into place; the log is removed only after that. So a ".gz" on disk is always complete, and a
// failure leaves the log as it was. The log is streamed, never held whole, and no 32-bit
// count limits its size.
//
// An existing ".gz" of the same name is kept: when it is a complete gzip file it is this log's
// earlier output, and the log goes; otherwise both stay and the failure is reported.
class PLRCompressLogOperation : public Operation {
  public:
    PLRCompressLogOperation(std::filesystem::path uncompressedLogURL,
                            std::filesystem::path compressedLogURL);

    static std::filesystem::path compressedURLForUncompressedURL(const std::filesystem::path& log);
    // Whether the file holds gzip data that decompresses to its end without error.
    static bool isCompleteGzipFile(const std::filesystem::path& path);

    const std::filesystem::path& uncompressedLogURL() const { return uncompressedLogURL_; }
    const std::filesystem::path& compressedLogURL() const { return compressedLogURL_; }
    // True when the ".gz" is in place and the log is gone.
    bool success() const { return success_; }

    void main() override;

  private:
    bool compress(const std::filesystem::path& temporary) const;

    std::filesystem::path uncompressedLogURL_;
    std::filesystem::path compressedLogURL_;
    bool success_ = false;
};

}  // namespace wv
