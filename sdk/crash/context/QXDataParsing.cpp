#include "sdk/crash/context/QXDataParsing.h"

#include <cstring>

#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

template <class T>
T take(const uint8_t** cursor) {
    T value;
    memcpy(&value, *cursor, sizeof(T));
    *cursor += sizeof(T);
    return value;
}

constexpr int kLEB128MaxBytes = 10;

}  // namespace

uint8_t QXParseUint8AndAdvance(const uint8_t** cursor) { return take<uint8_t>(cursor); }
uint16_t QXParseUint16AndAdvance(const uint8_t** cursor) { return take<uint16_t>(cursor); }
int16_t QXParseInt16AndAdvance(const uint8_t** cursor) { return take<int16_t>(cursor); }
uint32_t QXParseUint32AndAdvance(const uint8_t** cursor) { return take<uint32_t>(cursor); }
int32_t QXParseInt32AndAdvance(const uint8_t** cursor) { return take<int32_t>(cursor); }
uint64_t QXParseUint64AndAdvance(const uint8_t** cursor) { return take<uint64_t>(cursor); }
int64_t QXParseInt64AndAdvance(const uint8_t** cursor) { return take<int64_t>(cursor); }
uint64_t QXParsePointerAndAdvance(const uint8_t** cursor) { return take<uint64_t>(cursor); }

uint64_t QXParseULEB128AndAdvance(const uint8_t** cursor) {
    uint64_t value = 0;
    for (int i = 0; i < kLEB128MaxBytes; ++i) {
        uint8_t byte = *(*cursor)++;
        if (7 * i < 64) value |= uint64_t(byte & 0x7f) << (7 * i);
        if ((byte & 0x80) == 0) break;
    }
    return value;
}

int64_t QXParseSLEB128AndAdvance(const uint8_t** cursor) {
    uint64_t value = 0;
    int shift = 0;
    uint8_t byte = 0;
    for (int i = 0; i < kLEB128MaxBytes; ++i) {
        byte = *(*cursor)++;
        if (shift < 64) value |= uint64_t(byte & 0x7f) << shift;
        shift += 7;
        if ((byte & 0x80) == 0) break;
    }
    if (shift < 64 && (byte & 0x40)) value |= ~uint64_t(0) << shift;
    return static_cast<int64_t>(value);
}

const char* QXParseStringAndAdvance(const uint8_t** cursor) {
    const char* text = reinterpret_cast<const char*>(*cursor);
    *cursor += strlen(text) + 1;
    return text;
}

uint64_t QXParseRecordLengthAndAdvance(const uint8_t** cursor) {
    uint32_t length = QXParseUint32AndAdvance(cursor);
    if (length == 0xffffffffu) return QXParseUint64AndAdvance(cursor);
    return length;
}

uint64_t QXParseAddressWithEncodingAndAdvance(const uint8_t** cursor, uint8_t encoding) {
    if (encoding == kQXPointerEncodingOmit) return 0;
    if (cursor == nullptr || *cursor == nullptr) return kQXParseFailed;
    const uint8_t* start = *cursor;
    uint64_t value;
    switch (encoding & 0x0f) {
        case 0x0:
        case 0x4:
        case 0xc:
            value = QXParseUint64AndAdvance(cursor);
            break;
        case 0x1:
            value = QXParseULEB128AndAdvance(cursor);
            break;
        case 0x2:
            value = QXParseUint16AndAdvance(cursor);
            break;
        case 0x3:
            value = QXParseUint32AndAdvance(cursor);
            break;
        case 0x9:
            value = static_cast<uint64_t>(QXParseSLEB128AndAdvance(cursor));
            break;
        case 0xa:
            value = static_cast<uint64_t>(int64_t(QXParseInt16AndAdvance(cursor)));
            break;
        case 0xb:
            value = static_cast<uint64_t>(int64_t(QXParseInt32AndAdvance(cursor)));
            break;
        default:
            QXLogWarn("Unhandled: encoding 0x%x\n", unsigned(encoding));
            return kQXParseFailed;
    }
    switch (encoding & 0x70) {
        case 0x00:
            break;
        case 0x10:
            value += reinterpret_cast<uintptr_t>(start);
            break;
        default:
            QXLogWarn("Unhandled: relative encoding 0x%x\n", unsigned(encoding));
            return kQXParseFailed;
    }
    if (encoding & 0x80) {
        if (value == 0) return kQXParseFailed;
        // The table may point anywhere: the word is read through the kernel.
        uint64_t word;
        if (!QXUtilityReadMemory(static_cast<uintptr_t>(value), &word, sizeof(word)))
            return kQXParseFailed;
        value = word;
    }
    return value;
}

}  // namespace wv
