#include "sdk/crash/unwind/QXUnwindReader.h"

#include <cstring>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/unwind/QXUnwindMemory.h"

namespace wv {
namespace {

template <class T>
T take(QXUnwindReader* reader) {
    if (reader->failed || reader->remaining() < sizeof(T)) {
        reader->failed = true;
        return 0;
    }
    T value;
    memcpy(&value, reader->cursor, sizeof(T));
    reader->cursor += sizeof(T);
    return value;
}

constexpr int kLEB128MaxBytes = 10;

}  // namespace

bool QXUnwindReader::skip(uint64_t bytes) {
    if (failed || remaining() < bytes) {
        failed = true;
        return false;
    }
    cursor += bytes;
    return true;
}

uint8_t QXUnwindReader::u8() { return take<uint8_t>(this); }
uint16_t QXUnwindReader::u16() { return take<uint16_t>(this); }
uint32_t QXUnwindReader::u32() { return take<uint32_t>(this); }
uint64_t QXUnwindReader::u64() { return take<uint64_t>(this); }

uint64_t QXUnwindReader::uleb128() {
    uint64_t value = 0;
    for (int i = 0; i < kLEB128MaxBytes; ++i) {
        uint8_t byte = u8();
        if (failed) return 0;
        if (7 * i < 64) value |= uint64_t(byte & 0x7f) << (7 * i);
        if ((byte & 0x80) == 0) break;
    }
    return value;
}

int64_t QXUnwindReader::sleb128() {
    uint64_t value = 0;
    int shift = 0;
    uint8_t byte = 0;
    for (int i = 0; i < kLEB128MaxBytes; ++i) {
        byte = u8();
        if (failed) return 0;
        if (shift < 64) value |= uint64_t(byte & 0x7f) << shift;
        shift += 7;
        if ((byte & 0x80) == 0) break;
    }
    if (shift < 64 && (byte & 0x40)) value |= ~uint64_t(0) << shift;
    return static_cast<int64_t>(value);
}

const char* QXUnwindReader::string() {
    if (failed) return nullptr;
    const void* nul = memchr(cursor, 0, remaining());
    if (nul == nullptr) {
        failed = true;
        return nullptr;
    }
    const char* text = reinterpret_cast<const char*>(cursor);
    cursor = static_cast<const uint8_t*>(nul) + 1;
    return text;
}

uint64_t QXUnwindReader::encodedPointer(uint8_t encoding, uint64_t dataBase) {
    if (encoding == 0xff) return 0;
    uint64_t start = position();
    uint64_t value;
    switch (encoding & 0x0f) {
        case 0x0:
        case 0x4:
        case 0xc:
            value = u64();
            break;
        case 0x1:
            value = uleb128();
            break;
        case 0x2:
            value = u16();
            break;
        case 0x3:
            value = u32();
            break;
        case 0x9:
            value = static_cast<uint64_t>(sleb128());
            break;
        case 0xa:
            value = static_cast<uint64_t>(int64_t(s16()));
            break;
        case 0xb:
            value = static_cast<uint64_t>(int64_t(s32()));
            break;
        default:
            QXLogWarn("Unhandled: encoding 0x%x\n", unsigned(encoding));
            failed = true;
            return kQXUnwindReadFailed;
    }
    if (failed) return kQXUnwindReadFailed;
    switch (encoding & 0x70) {
        case 0x00:
            break;
        case 0x10:
            value += start;
            break;
        case 0x30:
            if (dataBase != 0) {
                value += dataBase;
                break;
            }
            [[fallthrough]];
        default:
            QXLogWarn("Unhandled: relative encoding 0x%x\n", unsigned(encoding));
            failed = true;
            return kQXUnwindReadFailed;
    }
    if (encoding & 0x80) {
        uint64_t word;
        // The word lies in an image (a GOT entry): read in place once its page is readable.
        if (value == 0 || !QXUnwindRangeIsReadable(value, 8)) {
            failed = true;
            return kQXUnwindReadFailed;
        }
        memcpy(&word, reinterpret_cast<const void*>(value), 8);
        value = word;
    }
    return value;
}

}  // namespace wv
