#pragma once

#include <cstddef>
#include <cstdint>

namespace wv::net {

// Where a writer puts bytes, a buffer at a time. `write` returns how many bytes the stream
// took (possibly fewer than offered) or -1 on an error; a stream that is not open takes
// nothing. Not safe for concurrent writers.
class OutputStream {
  public:
    virtual ~OutputStream() = default;
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual long write(const uint8_t* bytes, size_t length) = 0;
    virtual bool isOpen() const = 0;
    // True once anything went wrong (an open, a write or a close that failed).
    virtual bool hadError() const { return false; }
};

}  // namespace wv::net
