#pragma once

// A cursor over bytes read in place that never passes its end: every read past the end
// yields 0 and marks the reader failed, so a truncated or corrupt table ends a parse with a
// false result instead of reading beyond its section.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio. The caller vouches that
// [cursor, end) is mapped; only indirect pointers leave that range, through the safe read.

#include <cstdint>

namespace wv {

struct QXUnwindReader {
    const uint8_t* cursor;
    const uint8_t* end;
    bool failed;

    static QXUnwindReader over(uint64_t start, uint64_t end) {
        return {reinterpret_cast<const uint8_t*>(start), reinterpret_cast<const uint8_t*>(end),
                end < start};
    }
    uint64_t position() const { return reinterpret_cast<uint64_t>(cursor); }
    uint64_t remaining() const { return cursor <= end ? uint64_t(end - cursor) : 0; }
    bool skip(uint64_t bytes);

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    uint64_t u64();
    int16_t s16() { return static_cast<int16_t>(u16()); }
    int32_t s32() { return static_cast<int32_t>(u32()); }
    // LEB128 of the DWARF standard, at most ten bytes (all a 64-bit value needs); a value
    // cut off by the end fails the reader.
    uint64_t uleb128();
    int64_t sleb128();
    // A NUL-terminated string wholly before the end; none (and failed) otherwise.
    const char* string();
    // A DW_EH_PE-encoded pointer. Applications: absolute, pc-relative, and data-relative
    // against `dataBase` when that is not 0. All ones, and the reader failed, for anything
    // else or an indirect pointer that cannot be read.
    uint64_t encodedPointer(uint8_t encoding, uint64_t dataBase = 0);
};

inline constexpr uint64_t kQXUnwindReadFailed = ~uint64_t(0);

}  // namespace wv
