#pragma once

#include <filesystem>
#include <string>

#include "platform/dispatch/Operation.h"

namespace wv {

// Wraps a compressed log as the one file part of a multipart body, stored as
// "<boundary>.multipartmime" beside it. The body is written to a temporary file (no stage
// extension), checked, flushed and renamed into place; the ".gz" is removed only after that.
// A ".gz" that is not a complete gzip file can never become a valid body and is removed.
//
// Callers take the boundary from boundaryForCompressedURL: it is derived from the log's name,
// so packaging the same ".gz" again after a crash rewrites the same body file instead of
// making a second one that would be sent twice.
class PLRPackageLogOperation : public Operation {
  public:
    static constexpr const char* kMimeType = "application/vnd.quellix.mac.events";

    PLRPackageLogOperation(std::filesystem::path compressedLogURL,
                           std::filesystem::path packagedLogURL, std::string multipartMimeBoundary);

    static std::filesystem::path multipartURLForCompressedURL(
        const std::filesystem::path& compressed, const std::string& boundary);
    // The SHA-1 of the base name in name-based UUID form (version 5), upper-case.
    static std::string boundaryForCompressedURL(const std::filesystem::path& compressed);

    const std::filesystem::path& compressedLogURL() const { return compressedLogURL_; }
    const std::filesystem::path& packagedLogURL() const { return packagedLogURL_; }
    const std::string& multipartMimeBoundary() const { return multipartMimeBoundary_; }
    // True when the body is in place and the ".gz" is gone.
    bool success() const { return success_; }

    void main() override;

  private:
    bool package(const std::filesystem::path& temporary) const;

    std::filesystem::path compressedLogURL_;
    std::filesystem::path packagedLogURL_;
    std::string multipartMimeBoundary_;
    bool success_ = false;
};

}  // namespace wv
