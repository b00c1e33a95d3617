#pragma once

#include <cstdint>

namespace wv {

// One frame of a recorded exception: an address and, when known, where it lies. Absent texts
// are none and are left out of the record.
struct QXStackFrame {
    uint64_t address;
    const char* symbol;
    uint64_t offset;
    const char* library;
    const char* fileName;
    uint64_t lineNumber;
};

}  // namespace wv
