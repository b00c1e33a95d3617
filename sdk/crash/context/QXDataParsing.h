#pragma once

// Cursor readers over unwind and call-frame tables read in place: each takes the address of a
// cursor, returns the value and moves the cursor past it. Values are little-endian and may be
// unaligned.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio. The readers trust the
// cursor: callers hand them only memory they have checked (the tables of a loaded image).

#include <cstdint>

namespace wv {

uint8_t QXParseUint8AndAdvance(const uint8_t** cursor);
uint16_t QXParseUint16AndAdvance(const uint8_t** cursor);
int16_t QXParseInt16AndAdvance(const uint8_t** cursor);
uint32_t QXParseUint32AndAdvance(const uint8_t** cursor);
int32_t QXParseInt32AndAdvance(const uint8_t** cursor);
uint64_t QXParseUint64AndAdvance(const uint8_t** cursor);
int64_t QXParseInt64AndAdvance(const uint8_t** cursor);
uint64_t QXParsePointerAndAdvance(const uint8_t** cursor);
// LEB128 of the DWARF standard: at most ten bytes (all a 64-bit value needs), the tenth ending
// the value whatever its continuation bit.
uint64_t QXParseULEB128AndAdvance(const uint8_t** cursor);
int64_t QXParseSLEB128AndAdvance(const uint8_t** cursor);
const char* QXParseStringAndAdvance(const uint8_t** cursor);
// A DWARF initial length: a u32, or the u64 after an escape of 0xffffffff.
uint64_t QXParseRecordLengthAndAdvance(const uint8_t** cursor);

inline constexpr uint64_t kQXParseFailed = ~uint64_t(0);
inline constexpr uint8_t kQXPointerEncodingOmit = 0xff;

// A DW_EH_PE-encoded address; all ones for an encoding it cannot read.
uint64_t QXParseAddressWithEncodingAndAdvance(const uint8_t** cursor, uint8_t encoding);

}  // namespace wv
