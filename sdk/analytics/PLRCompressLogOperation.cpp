#include "sdk/analytics/PLRCompressLogOperation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "sdk/analytics/PLRLogger.h"

namespace wv {
namespace {

constexpr size_t kChunk = 256 * 1024;

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) ::close(fd);
    }
};

bool isRegularFile(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

PLRCompressLogOperation::PLRCompressLogOperation(std::filesystem::path uncompressedLogURL,
                                                 std::filesystem::path compressedLogURL)
    : uncompressedLogURL_(std::move(uncompressedLogURL)),
      compressedLogURL_(std::move(compressedLogURL)) {}

std::filesystem::path PLRCompressLogOperation::compressedURLForUncompressedURL(
    const std::filesystem::path& log) {
    std::filesystem::path out = log;
    return out.replace_extension("gz");
}

bool PLRCompressLogOperation::isCompleteGzipFile(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return false;
    gzFile gz = gzopen(path.c_str(), "rb");
    if (!gz) return false;
    std::vector<char> buffer(kChunk);
    int n = 0;
    while ((n = gzread(gz, buffer.data(), unsigned(buffer.size()))) > 0) {
    }
    int status = Z_OK;
    gzerror(gz, &status);
    // Transparent reading would pass any file off as its own content.
    const bool ok = n == 0 && status == Z_OK && gzdirect(gz) == 0;
    return gzclose(gz) == Z_OK && ok;
}

void PLRCompressLogOperation::main() {
    success_ = false;
    auto& logger = PLRLogger::sharedLogger();
    struct stat st {};
    if (::stat(uncompressedLogURL_.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        logger.log("Error: attempting to compress nonexistent file: " +
                   uncompressedLogURL_.string());
        return;
    }
    struct stat existing {};
    if (::lstat(compressedLogURL_.c_str(), &existing) == 0) {
        if (isCompleteGzipFile(compressedLogURL_)) {
            ::unlink(uncompressedLogURL_.c_str());
            success_ = true;
        } else {
            logger.log("Failed to compress file at " + uncompressedLogURL_.string());
        }
        return;
    }
    std::filesystem::path temporary = compressedLogURL_;
    temporary += ".partial";
    if (!compress(temporary) || ::rename(temporary.c_str(), compressedLogURL_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        logger.log("Failed to compress file at " + uncompressedLogURL_.string());
        return;
    }
    ::unlink(uncompressedLogURL_.c_str());
    success_ = true;
}

bool PLRCompressLogOperation::compress(const std::filesystem::path& temporary) const {
    if (!isRegularFile(uncompressedLogURL_)) return false;
    FdCloser in{::open(uncompressedLogURL_.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) return false;
    FdCloser out{::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
    if (out.fd < 0) return false;
    // zlib closes the descriptor it is given; ours stays open for the flush to disk.
    int gzfd = ::dup(out.fd);
    if (gzfd < 0) return false;
    gzFile gz = gzdopen(gzfd, "wb");
    if (!gz) {
        ::close(gzfd);
        return false;
    }
    bool ok = true;
    std::vector<char> buffer(kChunk);
    for (;;) {
        ssize_t n = ::read(in.fd, buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (gzwrite(gz, buffer.data(), unsigned(n)) != int(n)) {
            ok = false;
            break;
        }
    }
    if (gzclose(gz) != Z_OK) ok = false;
    if (!ok) return false;
    if (::fsync(out.fd) != 0) return false;
    const int fd = out.fd;
    out.fd = -1;
    return ::close(fd) == 0;
}

}  // namespace wv
