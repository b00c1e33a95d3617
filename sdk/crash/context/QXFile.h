#pragma once

// The writer of ".qxrecord" files: one JSON object per line, with one key (the section).
//
// Crash-time contract (everything but the string-object writers): async-signal-safe; only
// open, write, close and fstat; no lock, no stdio. The only heap memory is the optional
// 1000-byte write buffer, taken when a buffered file is opened and freed when it is closed;
// an unbuffered file never touches the heap. A QXFile belongs to one thread at a time.
//
// Plain strings are JSON-escaped (quote, backslash, control bytes) so no text can break its
// line; free text still goes out as hex strings, which need no escaping.

#include <cstdint>
#include <optional>
#include <string>

namespace wv {

inline constexpr uint64_t kQXFileBufferSize = 1000;
inline constexpr uint64_t kQXFileLineStageSize = 512;

struct QXFile {
    int32_t descriptor;
    int32_t depth;
    uint8_t needsComma;
    uint8_t buffered;
    char* buffer;
    uint64_t bufferFill;
    uint64_t offset;
    // An unbuffered file gathers the small pieces of a line here and writes them when the
    // stage is full, at the end of each line and at close: a line of thousands of values
    // then costs tens of writes, not thousands, still without heap. Only an unfinished line
    // can be lost by a death in the middle, and the reader drops such a line anyway.
    uint64_t stageFill;
    char stage[kQXFileLineStageSize];
};

bool QXFileInitWithPathMode(QXFile* file, const char* path, bool append, bool buffered);
bool QXFileInitWithPath(QXFile* file, const char* path, bool buffered);
bool QXFileCloseWithOffset(QXFile* file, uint64_t* finalOffset);
bool QXFileClose(QXFile* file);
bool QXFileIsOpen(const QXFile* file);

void QXFileWriteSectionStart(QXFile* file, const char* name);
void QXFileWriteSectionEnd(QXFile* file);
void QXFileWriteHashStart(QXFile* file);
void QXFileWriteHashEnd(QXFile* file);
void QXFileWriteArrayStart(QXFile* file);
void QXFileWriteArrayEnd(QXFile* file);
void QXFileWriteHashKey(QXFile* file, const char* key);
void QXFileWriteHashEntryUint64(QXFile* file, const char* key, uint64_t value);
void QXFileWriteHashEntryInt64(QXFile* file, const char* key, int64_t value);
void QXFileWriteHashEntryString(QXFile* file, const char* key, const char* text);
void QXFileWriteHashEntryHexEncodedString(QXFile* file, const char* key, const char* text);
void QXFileWriteHashEntryBoolean(QXFile* file, const char* key, bool flag);
void QXFileWriteArrayEntryUint64(QXFile* file, uint64_t value);
void QXFileWriteArrayEntryString(QXFile* file, const char* text);
void QXFileWriteArrayEntryHexEncodedString(QXFile* file, const char* text);

// Not crash-time: they take string objects. None is written as null.
void QXFileWriteHashEntryNSString(QXFile* file, const char* key,
                                  const std::optional<std::string>& string);
void QXFileWriteHashEntryNSStringUnlessNilOrEmpty(QXFile* file, const char* key,
                                                  const std::optional<std::string>& string);

// Writes the bytes, through the buffer when the file has one, else through the line stage.
void QXFileWriteToFileDescriptorOrBuffer(QXFile* file, const char* bytes, uint64_t length);
void QXFileFlushWriteBuffer(QXFile* file);
void QXFileFlushLineStage(QXFile* file);
// Up to 50 writes until every byte is out; a length of 0 is a failure. Logs a failed write
// (other than a full disk) to the SDK log.
bool QXFileWriteWithRetries(int fd, const char* bytes, uint64_t length);
// The same without logging, for the SDK log itself.
bool QXFileWriteWithRetriesQuietly(int fd, const char* bytes, uint64_t length);
// `value` in base 10 or 16 (lower-case) into the 21-byte buffer, which is zeroed first;
// returns where the numerals begin.
const char* QXFileUInt64ToString(uint64_t value, int base, char buffer[21]);

}  // namespace wv
