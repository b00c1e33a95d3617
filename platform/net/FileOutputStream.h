#pragma once

#include <string>

#include "platform/net/OutputStream.h"

namespace wv::net {

// Writes straight to a file (no buffer of its own, so a full disk shows at the write that
// hit it). `open` truncates the file, or appends when asked.
class FileOutputStream final : public OutputStream {
  public:
    explicit FileOutputStream(std::string path, bool append = false);
    ~FileOutputStream() override;
    FileOutputStream(const FileOutputStream&) = delete;
    FileOutputStream& operator=(const FileOutputStream&) = delete;

    bool open() override;
    void close() override;
    long write(const uint8_t* bytes, size_t length) override;
    bool isOpen() const override { return fd_ >= 0; }
    bool hadError() const override { return error_; }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    bool append_;
    int fd_ = -1;
    bool error_ = false;
};

}  // namespace wv::net
