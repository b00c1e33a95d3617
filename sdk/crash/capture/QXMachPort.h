#pragma once

// What the exception server needs of the kernel's message ports: receive one message, send
// one, tell its own task, and set the task's exception ports. Linux has no such ports, so the
// program never opens one; tests stand in with their own and feed the server requests.

#include <cstdint>

namespace wv {

class QXMachPort {
  public:
    virtual ~QXMachPort() = default;
    // 0 on success, else the kernel's error code. `buffer` holds `size` bytes.
    virtual int receive(void* buffer, uint32_t size) = 0;
    virtual int send(const void* buffer, uint32_t size) = 0;
    virtual uint32_t ownTask() const = 0;
    // Points the task's exception ports of `mask` at `port` (0: none) with the behaviour and
    // flavour given; 0 on success.
    virtual int setExceptionPorts(uint32_t mask, uint32_t port, uint32_t behavior,
                                  uint32_t flavor) = 0;
};

}  // namespace wv
