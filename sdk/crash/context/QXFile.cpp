#include "sdk/crash/context/QXFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sdk/crash/context/QXSDKLog.h"

namespace wv {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void put(QXFile* file, const char* bytes, uint64_t length) {
    QXFileWriteToFileDescriptorOrBuffer(file, bytes, length);
}

void putLiteral(QXFile* file, const char* text) { put(file, text, strlen(text)); }

void commaIfNeeded(QXFile* file) {
    if (file->needsComma) put(file, ",", 1);
}

void open(QXFile* file, char bracket) {
    commaIfNeeded(file);
    put(file, &bracket, 1);
    file->depth++;
    file->needsComma = 0;
}

void close(QXFile* file, char bracket) {
    put(file, &bracket, 1);
    if (file->depth > 0) {
        file->needsComma = file->depth > 1;
        file->depth--;
    }
}

// Collects small runs so a short string or a run of hex goes out in few writes.
class Chunk {
  public:
    explicit Chunk(QXFile* file) : file_(file) {}
    ~Chunk() { flush(); }
    void add(char c) {
        if (fill_ == sizeof(bytes_)) flush();
        bytes_[fill_++] = c;
    }
    void flush() {
        if (fill_ > 0) put(file_, bytes_, fill_);
        fill_ = 0;
    }

  private:
    QXFile* file_;
    char bytes_[64];
    uint64_t fill_ = 0;
};

void addEscaped(Chunk& chunk, unsigned char c) {
    switch (c) {
        case '"':
            chunk.add('\\');
            chunk.add('"');
            return;
        case '\\':
            chunk.add('\\');
            chunk.add('\\');
            return;
        case '\n':
            chunk.add('\\');
            chunk.add('n');
            return;
        case '\r':
            chunk.add('\\');
            chunk.add('r');
            return;
        case '\t':
            chunk.add('\\');
            chunk.add('t');
            return;
        default:
            if (c < 0x20) {
                for (char e : {'\\', 'u', '0', '0'}) chunk.add(e);
                chunk.add(kHexDigits[c >> 4]);
                chunk.add(kHexDigits[c & 0xf]);
            } else {
                chunk.add(static_cast<char>(c));
            }
    }
}

void writeQuoted(QXFile* file, const char* text, const char* terminator) {
    Chunk chunk(file);
    chunk.add('"');
    for (const char* p = text; *p; ++p) addEscaped(chunk, static_cast<unsigned char>(*p));
    chunk.add('"');
    for (const char* t = terminator; *t; ++t) chunk.add(*t);
}

// Hex runs go out 32 characters (16 source bytes) at a time between the quotes.
void writeHex(QXFile* file, const char* text) {
    Chunk chunk(file);
    chunk.add('"');
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        chunk.add(kHexDigits[*p >> 4]);
        chunk.add(kHexDigits[*p & 0xf]);
    }
    chunk.add('"');
}

void writeUnsigned(QXFile* file, uint64_t value) {
    char digits[21];
    putLiteral(file, QXFileUInt64ToString(value, 10, digits));
}

void writeSigned(QXFile* file, int64_t value) {
    if (value < 0) {
        put(file, "-", 1);
        writeUnsigned(file, 0 - static_cast<uint64_t>(value));
    } else {
        writeUnsigned(file, static_cast<uint64_t>(value));
    }
}

void writeStringOrNull(QXFile* file, const char* text) {
    if (text == nullptr) {
        put(file, "null", 4);
    } else {
        writeQuoted(file, text, "");
    }
    file->needsComma = 1;
}

void writeHexOrNull(QXFile* file, const char* text) {
    if (text == nullptr) {
        put(file, "null", 4);
    } else {
        writeHex(file, text);
    }
    file->needsComma = 1;
}

bool writeLoop(int fd, const char* bytes, uint64_t length, bool logFailure) {
    if (length == 0) return false;
    uint64_t done = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
        errno = 0;
        uint64_t remaining = length - done;
        ssize_t n = write(fd, bytes + done, remaining);
        if (n == static_cast<ssize_t>(remaining)) return true;
        if (n <= 0 || static_cast<uint64_t>(n) > remaining) {
            if (n < 0 && errno != ENOSPC && logFailure) {
                QXLogError("Failed to write: %s\n", strerrordesc_np(errno));
            }
            return false;
        }
        done += static_cast<uint64_t>(n);
    }
    return false;
}

}  // namespace

const char* QXFileUInt64ToString(uint64_t value, int base, char buffer[21]) {
    memset(buffer, 0, 21);
    int i = 20;
    do {
        buffer[--i] = kHexDigits[value % static_cast<uint64_t>(base)];
        value /= static_cast<uint64_t>(base);
    } while (value != 0 && i > 0);
    return buffer + i;
}

bool QXFileWriteWithRetries(int fd, const char* bytes, uint64_t length) {
    return writeLoop(fd, bytes, length, true);
}

bool QXFileWriteWithRetriesQuietly(int fd, const char* bytes, uint64_t length) {
    return writeLoop(fd, bytes, length, false);
}

bool QXFileInitWithPathMode(QXFile* file, const char* path, bool append, bool buffered) {
    if (file == nullptr) {
        QXLogWarn("Error: file is null\n");
        return false;
    }
    if (path == nullptr) {
        QXLogWarn("Error: file descriptor invalid\n");
        return false;
    }
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    int fd = ::open(path, flags, 0644);
    if (fd < 0) {
        QXLogWarn("Error: Unable to open file %s %s\n", path, strerrordesc_np(errno));
        QXLogWarn("Error: file descriptor invalid\n");
        return false;
    }
    memset(file, 0, sizeof(*file));
    file->descriptor = fd;
    file->buffered = buffered;
    if (buffered) file->buffer = static_cast<char*>(malloc(kQXFileBufferSize));
    if (append) {
        struct stat st;
        if (fstat(fd, &st) == 0 && st.st_size > 0) file->offset = static_cast<uint64_t>(st.st_size);
    }
    return true;
}

bool QXFileInitWithPath(QXFile* file, const char* path, bool buffered) {
    return QXFileInitWithPathMode(file, path, true, buffered);
}

bool QXFileIsOpen(const QXFile* file) { return file != nullptr && file->descriptor >= 0; }

bool QXFileCloseWithOffset(QXFile* file, uint64_t* finalOffset) {
    if (file == nullptr) return false;
    QXFileFlushLineStage(file);
    if (file->buffered && file->buffer != nullptr) {
        if (file->bufferFill > 0) QXFileFlushWriteBuffer(file);
        free(file->buffer);
        file->buffer = nullptr;
    }
    if (finalOffset != nullptr) *finalOffset = file->offset;
    if (::close(file->descriptor) != 0) {
        QXLogWarn("Error: Unable to close file %s\n", strerrordesc_np(errno));
        return false;
    }
    memset(file, 0, sizeof(*file));
    file->descriptor = -1;
    return true;
}

bool QXFileClose(QXFile* file) { return QXFileCloseWithOffset(file, nullptr); }

void QXFileFlushWriteBuffer(QXFile* file) {
    if (QXFileWriteWithRetries(file->descriptor, file->buffer, file->bufferFill)) {
        file->offset += file->bufferFill;
    }
    file->bufferFill = 0;
}

void QXFileFlushLineStage(QXFile* file) {
    if (file->stageFill == 0) return;
    if (QXFileWriteWithRetries(file->descriptor, file->stage, file->stageFill))
        file->offset += file->stageFill;
    file->stageFill = 0;
}

void QXFileWriteToFileDescriptorOrBuffer(QXFile* file, const char* bytes, uint64_t length) {
    if (!file->buffered || file->buffer == nullptr) {
        if (file->stageFill + length > kQXFileLineStageSize) QXFileFlushLineStage(file);
        if (length >= kQXFileLineStageSize) {
            if (QXFileWriteWithRetries(file->descriptor, bytes, length)) file->offset += length;
            return;
        }
        memcpy(file->stage + file->stageFill, bytes, length);
        file->stageFill += length;
        return;
    }
    // The buffer never holds more than 999 bytes: one is kept for the terminating NUL.
    while (file->bufferFill + length >= kQXFileBufferSize) {
        uint64_t part = kQXFileBufferSize - 1 - file->bufferFill;
        memcpy(file->buffer + file->bufferFill, bytes, part);
        file->bufferFill += part;
        file->buffer[file->bufferFill] = '\0';
        QXFileFlushWriteBuffer(file);
        bytes += part;
        length -= part;
    }
    memcpy(file->buffer + file->bufferFill, bytes, length);
    file->bufferFill += length;
    file->buffer[file->bufferFill] = '\0';
}

void QXFileWriteSectionStart(QXFile* file, const char* name) {
    QXFileWriteHashStart(file);
    QXFileWriteHashKey(file, name);
}

void QXFileWriteSectionEnd(QXFile* file) {
    QXFileWriteHashEnd(file);
    put(file, "\n", 1);
    QXFileFlushLineStage(file);
}

void QXFileWriteHashStart(QXFile* file) { open(file, '{'); }
void QXFileWriteHashEnd(QXFile* file) { close(file, '}'); }
void QXFileWriteArrayStart(QXFile* file) { open(file, '['); }
void QXFileWriteArrayEnd(QXFile* file) { close(file, ']'); }

void QXFileWriteHashKey(QXFile* file, const char* key) {
    commaIfNeeded(file);
    writeQuoted(file, key ? key : "", ":");
    file->needsComma = 0;
}

void QXFileWriteHashEntryUint64(QXFile* file, const char* key, uint64_t value) {
    QXFileWriteHashKey(file, key);
    writeUnsigned(file, value);
    file->needsComma = 1;
}

void QXFileWriteHashEntryInt64(QXFile* file, const char* key, int64_t value) {
    QXFileWriteHashKey(file, key);
    writeSigned(file, value);
    file->needsComma = 1;
}

void QXFileWriteHashEntryString(QXFile* file, const char* key, const char* text) {
    QXFileWriteHashKey(file, key);
    writeStringOrNull(file, text);
}

void QXFileWriteHashEntryHexEncodedString(QXFile* file, const char* key, const char* text) {
    QXFileWriteHashKey(file, key);
    writeHexOrNull(file, text);
}

void QXFileWriteHashEntryBoolean(QXFile* file, const char* key, bool flag) {
    QXFileWriteHashKey(file, key);
    putLiteral(file, flag ? "true" : "false");
    file->needsComma = 1;
}

void QXFileWriteArrayEntryUint64(QXFile* file, uint64_t value) {
    commaIfNeeded(file);
    writeUnsigned(file, value);
    file->needsComma = 1;
}

void QXFileWriteArrayEntryString(QXFile* file, const char* text) {
    commaIfNeeded(file);
    writeStringOrNull(file, text);
}

void QXFileWriteArrayEntryHexEncodedString(QXFile* file, const char* text) {
    commaIfNeeded(file);
    writeHexOrNull(file, text);
}

void QXFileWriteHashEntryNSString(QXFile* file, const char* key,
                                  const std::optional<std::string>& string) {
    QXFileWriteHashEntryString(file, key, string ? string->c_str() : nullptr);
}

void QXFileWriteHashEntryNSStringUnlessNilOrEmpty(QXFile* file, const char* key,
                                                  const std::optional<std::string>& string) {
    if (string && !string->empty()) QXFileWriteHashEntryNSString(file, key, string);
}

}  // namespace wv
