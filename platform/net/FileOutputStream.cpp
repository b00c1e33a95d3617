#include "platform/net/FileOutputStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace wv::net {

FileOutputStream::FileOutputStream(std::string path, bool append)
    : path_(std::move(path)), append_(append) {}

FileOutputStream::~FileOutputStream() { close(); }

bool FileOutputStream::open() {
    if (fd_ >= 0) return true;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append_ ? O_APPEND : O_TRUNC);
    fd_ = ::open(path_.c_str(), flags, 0644);
    if (fd_ < 0) error_ = true;
    return fd_ >= 0;
}

void FileOutputStream::close() {
    if (fd_ < 0) return;
    if (::close(fd_) != 0) error_ = true;
    fd_ = -1;
}

long FileOutputStream::write(const uint8_t* bytes, size_t length) {
    if (fd_ < 0) return -1;
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd_, bytes + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = true;
            return done > 0 ? static_cast<long>(done) : -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<long>(done);
}

}  // namespace wv::net
