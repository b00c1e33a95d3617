#pragma once

#include <string>

#include "platform/net/OutputStream.h"

namespace wv::net {

// Collects what is written in memory; the bytes stay readable after `close`.
class MemoryOutputStream final : public OutputStream {
  public:
    bool open() override;
    void close() override { open_ = false; }
    long write(const uint8_t* bytes, size_t length) override;
    bool isOpen() const override { return open_; }

    const std::string& data() const { return data_; }
    std::string takeData() { return std::move(data_); }

  private:
    bool open_ = false;
    std::string data_;
};

}  // namespace wv::net
