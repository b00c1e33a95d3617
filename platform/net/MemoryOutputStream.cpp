#include "platform/net/MemoryOutputStream.h"

namespace wv::net {

bool MemoryOutputStream::open() {
    open_ = true;
    return true;
}

long MemoryOutputStream::write(const uint8_t* bytes, size_t length) {
    if (!open_) return -1;
    data_.append(reinterpret_cast<const char*>(bytes), length);
    return static_cast<long>(length);
}

}  // namespace wv::net
