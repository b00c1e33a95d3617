#include "sdk/crash/context/QXSDKLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXFile.h"

namespace wv {
namespace {

class LineBuffer {
  public:
    explicit LineBuffer(int fd) : fd_(fd) {}
    void put(char c) {
        if (fill_ == sizeof(bytes_)) flush();
        bytes_[fill_++] = c;
    }
    void put(const char* s) {
        while (*s) put(*s++);
    }
    void putUnsigned(uint64_t value, int base) {
        char digits[21];
        put(QXFileUInt64ToString(value, base, digits));
    }
    void putSigned(int64_t value) {
        if (value < 0) {
            put('-');
            // Negating the smallest value overflows; its magnitude still fits unsigned.
            putUnsigned(0 - static_cast<uint64_t>(value), 10);
        } else {
            putUnsigned(static_cast<uint64_t>(value), 10);
        }
    }
    void flush() {
        if (fill_ > 0) QXFileWriteWithRetriesQuietly(fd_, bytes_, fill_);
        fill_ = 0;
    }

  private:
    int fd_;
    char bytes_[1024];
    uint64_t fill_ = 0;
};

int openDescriptor() {
    int fd = __atomic_load_n(&qxWritableContext->logDescriptor, __ATOMIC_SEQ_CST);
    if (fd != -1) return fd;
    fd = open(qxContext->logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    __atomic_store_n(&qxWritableContext->logDescriptor, fd < 0 ? -1 : fd, __ATOMIC_SEQ_CST);
    return fd;
}

// A 64-bit conversion after l, ll or z; returns the characters it used, 0 when the next
// character is no conversion (then nothing is consumed).
int sized(LineBuffer& line, const char* conversion, va_list& args) {
    int width = (conversion[0] == 'l' && conversion[1] == 'l') ? 2 : 1;
    switch (conversion[width]) {
        case 'd':
        case 'i':
            line.putSigned(conversion[0] == 'z' ? static_cast<int64_t>(va_arg(args, ssize_t))
                                                : static_cast<int64_t>(va_arg(args, long long)));
            return width + 1;
        case 'u':
            line.putUnsigned(static_cast<uint64_t>(va_arg(args, unsigned long long)), 10);
            return width + 1;
        case 'x':
            line.putUnsigned(static_cast<uint64_t>(va_arg(args, unsigned long long)), 16);
            return width + 1;
        default:
            return 0;
    }
}

}  // namespace

void QXSDKLog(QXSDKLogLevel level, const char* format, ...) {
    if (!QXIsValidPointer(qxContext) || !QXIsValidPointer(qxWritableContext)) return;
    if (!QXIsValidPointer(qxContext->logPath) || format == nullptr) return;
    if (level < qxWritableContext->logMinimumLevel) return;
    int fd = openDescriptor();
    if (fd < 0) return;

    LineBuffer line(fd);
    va_list args;
    va_start(args, format);
    for (const char* p = format; *p; ++p) {
        if (*p != '%') {
            line.put(*p);
            continue;
        }
        char c = p[1];
        if (c == '\0') {
            line.put('%');
            break;
        }
        ++p;
        switch (c) {
            case 's': {
                const char* s = va_arg(args, const char*);
                line.put(s ? s : "(null)");
                break;
            }
            case 'd':
                line.putSigned(va_arg(args, int));
                break;
            case 'u':
                line.putUnsigned(va_arg(args, unsigned), 10);
                break;
            case 'x':
                line.putUnsigned(va_arg(args, unsigned), 16);
                break;
            case 'p':
                line.put("0x");
                line.putUnsigned(reinterpret_cast<uintptr_t>(va_arg(args, void*)), 16);
                break;
            case 'l':
            case 'z':
                if (int used = sized(line, p, args)) {
                    p += used - 1;
                    break;
                }
                [[fallthrough]];
            default:
                line.put('%');
                line.put(c);
        }
    }
    va_end(args);
    line.flush();
}

}  // namespace wv
