#pragma once

// The crash kit's diagnostic log, "sdk.log" in the run's report folder.
//
// Crash-time contract: async-signal-safe; no heap, no lock, no stdio. Each line is built in a
// fixed buffer on the stack and written by one write(2), so lines of concurrent threads do not
// interleave (a line longer than the buffer goes out in buffer-sized writes). Nothing is
// written before the context exists (a context pointer below 4096 counts as absent).
//
// Conversions: %s (absent: "(null)"), %d, %u, %x (32 bits), %p ("0x" and 64-bit hex), and the
// 64-bit forms %ld %lu %lx %lld %llu %llx %zd %zu %zx. Anything else after "%" is written as
// it stands and takes no argument.

#include <cstdint>

namespace wv {

enum QXSDKLogLevel : int32_t {
    QXSDKLogLevelDebug = 1,
    QXSDKLogLevelInfo = 2,
    QXSDKLogLevelWarn = 3,
    QXSDKLogLevelError = 4,
};

void QXSDKLog(QXSDKLogLevel level, const char* format, ...);

}  // namespace wv

// Every line starts with its level, the function and the source line.
#define QXLogDebug(fmt, ...)                                                 \
    ::wv::QXSDKLog(::wv::QXSDKLogLevelDebug, "DEBUG [%s:%d] " fmt, __func__, \
                   __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define QXLogInfo(fmt, ...)                                                 \
    ::wv::QXSDKLog(::wv::QXSDKLogLevelInfo, "INFO  [%s:%d] " fmt, __func__, \
                   __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define QXLogWarn(fmt, ...)                                                 \
    ::wv::QXSDKLog(::wv::QXSDKLogLevelWarn, "WARN  [%s:%d] " fmt, __func__, \
                   __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define QXLogError(fmt, ...)                                                 \
    ::wv::QXSDKLog(::wv::QXSDKLogLevelError, "ERROR [%s:%d] " fmt, __func__, \
                   __LINE__ __VA_OPT__(, ) __VA_ARGS__)
