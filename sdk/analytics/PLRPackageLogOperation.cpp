#include "sdk/analytics/PLRPackageLogOperation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "platform/crypto/Digest.h"
#include "platform/net/FileOutputStream.h"
#include "sdk/analytics/PLRCompressLogOperation.h"
#include "sdk/analytics/PLRFileUtils.h"
#include "sdk/analytics/PLRLogger.h"
#include "sdk/core/TRNMultipartMimeStreamEncoder.h"

namespace wv {
namespace {

bool flushToDisk(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

}  // namespace

PLRPackageLogOperation::PLRPackageLogOperation(std::filesystem::path compressedLogURL,
                                               std::filesystem::path packagedLogURL,
                                               std::string multipartMimeBoundary)
    : compressedLogURL_(std::move(compressedLogURL)),
      packagedLogURL_(std::move(packagedLogURL)),
      multipartMimeBoundary_(std::move(multipartMimeBoundary)) {}

std::filesystem::path PLRPackageLogOperation::multipartURLForCompressedURL(
    const std::filesystem::path& compressed, const std::string& boundary) {
    return compressed.parent_path() / (boundary + ".multipartmime");
}

std::string PLRPackageLogOperation::boundaryForCompressedURL(
    const std::filesystem::path& compressed) {
    const std::string name = PLRFileUtils::baseName(compressed);
    auto d = digest::sha1(name.data(), name.size());
    d[6] = uint8_t((d[6] & 0x0F) | 0x50);
    d[8] = uint8_t((d[8] & 0x3F) | 0x80);
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += kHex[d[i] >> 4];
        out += kHex[d[i] & 0x0F];
    }
    return out;
}

void PLRPackageLogOperation::main() {
    success_ = false;
    auto& logger = PLRLogger::sharedLogger();
    struct stat st {};
    if (::stat(compressedLogURL_.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        logger.log("Error: attempting to package nonexistent file: " + compressedLogURL_.string());
        return;
    }
    if (!PLRCompressLogOperation::isCompleteGzipFile(compressedLogURL_)) {
        logger.log("Error packaging: " + compressedLogURL_.string() +
                   " is not a complete gzip file, removed.");
        ::unlink(compressedLogURL_.c_str());
        return;
    }
    std::filesystem::path temporary = packagedLogURL_;
    temporary += ".partial";
    if (!package(temporary) || !flushToDisk(temporary) ||
        ::rename(temporary.c_str(), packagedLogURL_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        logger.log("Failed to package file at " + compressedLogURL_.string());
        return;
    }
    ::unlink(compressedLogURL_.c_str());
    success_ = true;
}

bool PLRPackageLogOperation::package(const std::filesystem::path& temporary) const {
    auto stream = std::make_shared<net::FileOutputStream>(temporary.string(), false);
    auto encoder = TRNMultipartMimeStreamEncoder::encoderWithStream(stream, multipartMimeBoundary_);
    if (!encoder) return false;
    const uint64_t compressedSize = PLRFileUtils::fileSizeAtURL(compressedLogURL_);
    bool added = false;
    const bool encoded = encoder->encode([&](TRNMultipartMimeStreamEncoder& e) {
        const std::string path = compressedLogURL_.string();
        if (!path.empty() && std::filesystem::exists(compressedLogURL_)) {
            const std::string name = compressedLogURL_.filename().string();
            e.addFile(path, name, std::string(kMimeType), name);
            added = true;
        } else {
            PLRLogger::sharedLogger().log("Error packaging: " + path + " is an invalid path.");
        }
    });
    // A part the encoder refused (the file could not be read) leaves a body too short to hold it.
    return encoded && added && encoder->length() > compressedSize;
}

}  // namespace wv
