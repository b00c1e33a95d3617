#include "sdk/crash/kit/QXUserLogging.h"

#include <execinfo.h>
#include <sys/time.h>

#include <cstdio>
#include <ctime>
#include <string_view>
#include <utility>

#include "platform/dispatch/SerialQueue.h"
#include "platform/foundation/Log.h"
#include "platform/plist/Value.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/QXFileReadSections.h"
#include "sdk/crash/context/QXSDKLog.h"

namespace wv {
namespace {

constexpr int kMaxErrorFrames = 128;

template <class T>
std::string printed(const char* format, T value) {
    char buffer[64];
    snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

template <class... T>
bool describeIntegers(const std::any& object, std::optional<std::string>& out) {
    return ([&] {
        const T* value = std::any_cast<T>(&object);
        if (value == nullptr) return false;
        out = std::is_signed_v<T> ? std::to_string(static_cast<long long>(*value))
                                  : std::to_string(static_cast<unsigned long long>(*value));
        return true;
    }() || ...);
}

std::optional<std::string> describePlist(const plist::Value& value) {
    if (auto s = value.get<std::string>()) return *s;
    if (auto b = value.get<bool>()) return *b ? "1" : "0";
    if (auto i = value.get<int64_t>()) return std::to_string(*i);
    if (auto d = value.get<double>()) return printed("%0.16g", *d);
    return std::nullopt;
}

std::optional<std::string> describeText(const char* text) {
    if (!QXIsValidPointer(text)) return std::nullopt;
    return std::string(text);
}

// A C string below 4096 cannot be followed; it is recorded as nil rather than read.
bool holdsBadPointer(const std::any& value) {
    const void* pointer = nullptr;
    if (auto p = std::any_cast<const char*>(&value))
        pointer = *p;
    else if (auto q = std::any_cast<char*>(&value))
        pointer = *q;
    else
        return false;
    return pointer != nullptr && !QXIsValidPointer(pointer);
}

void recordKeyValue(const std::optional<std::string>& key, const std::any& value,
                    const QXUserLoggingKVStorage* storage, uint32_t* counter, bool onQueue) {
    if (!key) {
        QXLogWarn("User provided bad key\n");
        return;
    }
    std::any checked = value;
    if (holdsBadPointer(value)) {
        QXLogWarn("Bad value pointer being clamped to nil\n");
        checked.reset();
    }
    if (!QXContextIsInitialized()) return;
    const std::optional<std::string> description = QXUserLoggingDescription(checked);
    auto write = [&] { QXUserLoggingWriteKeyValue(storage, counter, *key, description); };
    if (onQueue || qxLoggingQueue == nullptr)
        write();
    else
        qxLoggingQueue->sync(write);
}

const QXUserLoggingKVStorage* liveStorage(bool user) {
    if (!QXIsValidPointer(qxContext)) return nullptr;
    return user ? &qxContext->logging.userKVStorage : &qxContext->logging.internalKVStorage;
}

uint32_t* liveCounter(bool user) {
    if (!QXIsValidPointer(qxWritableContext)) return nullptr;
    return user ? &qxWritableContext->logging.userIncrementalCount
                : &qxWritableContext->logging.internalIncrementalCount;
}

// Cuts to at most `max` bytes without splitting a UTF-8 sequence at the end.
std::string truncated(const std::string& text, size_t max) {
    size_t cut = max;
    for (int back = 0; back < 3 && cut > 0 && cut < text.size() &&
                       (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80;
         ++back)
        --cut;
    return text.substr(0, cut);
}

std::string formatted(const char* format, va_list arguments) {
    if (format == nullptr) return {};
    va_list copy;
    va_copy(copy, arguments);
    const int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) return {};
    std::string text(size_t(length) + 1, '\0');
    vsnprintf(text.data(), text.size(), format, arguments);
    text.resize(size_t(length));
    return text;
}

void writeHexEntry(QXFile* file, const char* key, std::string_view text) {
    QXFileWriteHashEntryString(file, key, QXFileHexEncodeString(text).c_str());
}

void writePairs(QXFile* file, const char* key, const QXUserInfo& info) {
    QXFileWriteHashKey(file, key);
    QXFileWriteArrayStart(file);
    for (const auto& [name, value] : info) {
        std::optional<std::string> description = QXUserLoggingDescription(value);
        if (!description) continue;
        QXFileWriteArrayStart(file);
        QXFileWriteArrayEntryString(file, QXFileHexEncodeString(name).c_str());
        QXFileWriteArrayEntryString(file, QXFileHexEncodeString(*description).c_str());
        QXFileWriteArrayEnd(file);
    }
    QXFileWriteArrayEnd(file);
}

}  // namespace

std::optional<std::string> QXUserLoggingDescription(const std::any& object) {
    if (!object.has_value()) return std::nullopt;
    if (auto s = std::any_cast<std::string>(&object)) return *s;
    if (auto o = std::any_cast<std::optional<std::string>>(&object)) return *o;
    if (auto v = std::any_cast<std::string_view>(&object)) return std::string(*v);
    if (auto c = std::any_cast<const char*>(&object)) return describeText(*c);
    if (auto m = std::any_cast<char*>(&object)) return describeText(*m);
    if (auto b = std::any_cast<bool>(&object)) return *b ? "1" : "0";
    if (auto f = std::any_cast<float>(&object)) return printed("%0.7g", double(*f));
    if (auto d = std::any_cast<double>(&object)) return printed("%0.16g", *d);
    if (auto e = std::any_cast<Error>(&object)) return e->description();
    if (auto p = std::any_cast<plist::Value>(&object)) return describePlist(*p);
    std::optional<std::string> number;
    if (describeIntegers<int, unsigned, long, unsigned long, long long, unsigned long long, short,
                         unsigned short, signed char, unsigned char, char>(object, number))
        return number;
    return std::nullopt;
}

void QXUserLoggingRecordKeyValue(const std::optional<std::string>& key, const std::any& value,
                                 const QXUserLoggingKVStorage* storage, uint32_t* counter) {
    recordKeyValue(key, value, storage, counter, false);
}

void QXUserLoggingRecordUserKeyValue(const std::optional<std::string>& key, const std::any& value) {
    recordKeyValue(key, value, liveStorage(true), liveCounter(true), false);
}

void QXUserLoggingRecordInternalKeyValue(const std::optional<std::string>& key,
                                         const std::any& value) {
    recordKeyValue(key, value, liveStorage(false), liveCounter(false), false);
}

void QXUserLoggingWriteInternalKeyValue(const std::optional<std::string>& key,
                                        const std::any& value) {
    recordKeyValue(key, value, liveStorage(false), liveCounter(false), true);
}

void QXUserLoggingRecordLogMessage(const std::optional<std::string>& message) {
    if (!message) return;
    if (!QXContextIsInitialized()) {
        Log::system(
            "[Quellix:Crash] WARNING: QXLog has been used before (or concurrently with) Quellix "
            "initialization and cannot be recorded. The message was: \n" +
            *message);
        return;
    }
    const QXUserLoggingABStorage* storage = &qxContext->logging.logStorage;
    std::string text = *message;
    if (text.size() > storage->maxSize) {
        const std::string max = std::to_string(storage->maxSize);
        Log::system("WARNING: Attempted to write " + std::to_string(text.size()) + " bytes, but " +
                    max + " is the maximum size of the log. Truncating to " + max + " bytes.");
        text = truncated(text, storage->maxSize);
    }
    struct timeval now;
    if (gettimeofday(&now, nullptr) != 0) return;
    const uint64_t milliseconds = uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_usec) / 1000;
    QXUserLoggingWriteAndCheckABFiles(storage, &qxWritableContext->logging.currentLogPath,
                                      [&](QXFile* file) {
                                          QXFileWriteSectionStart(file, "log");
                                          QXFileWriteHashStart(file);
                                          writeHexEntry(file, "msg", text);
                                          QXFileWriteHashEntryUint64(file, "time", milliseconds);
                                          QXFileWriteHashEnd(file);
                                          QXFileWriteSectionEnd(file);
                                      });
}

void QXLogv(const char* format, va_list arguments) {
    if (format == nullptr) return;
    QXUserLoggingRecordLogMessage(formatted(format, arguments));
}

void QXLog(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    QXLogv(format, arguments);
    va_end(arguments);
}

void QXNSLogv(const char* format, va_list arguments) {
    if (format == nullptr) return;
    const std::string message = formatted(format, arguments);
    QXUserLoggingRecordLogMessage(message);
    Log::system(message);
}

void QXNSLog(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    QXNSLogv(format, arguments);
    va_end(arguments);
}

void QXUserLoggingRecordError(const Error* error, const std::optional<QXUserInfo>& additionalInfo) {
    if (error == nullptr || !QXContextIsInitialized()) return;
    void* frames[kMaxErrorFrames];
    const int count = backtrace(frames, kMaxErrorFrames);
    // The first address is this function's own.
    std::vector<uintptr_t> stacktrace;
    for (int i = 1; i < count; ++i) stacktrace.push_back(reinterpret_cast<uintptr_t>(frames[i]));
    const uint64_t now = uint64_t(time(nullptr));
    QXUserLoggingWriteAndCheckABFiles(
        &qxContext->logging.errorStorage, &qxWritableContext->logging.currentErrorsPath,
        [&](QXFile* file) { QXUserLoggingWriteError(file, *error, stacktrace, now, additionalInfo); });
}

void QXUserLoggingWriteError(QXFile* file, const Error& error,
                             const std::vector<uintptr_t>& stacktrace, uint64_t time,
                             const std::optional<QXUserInfo>& additionalInfo) {
    QXFileWriteSectionStart(file, "error");
    QXFileWriteHashStart(file);
    writeHexEntry(file, "domain", error.domain);
    QXFileWriteHashEntryInt64(file, "code", error.code);
    QXFileWriteHashEntryUint64(file, "time", time);
    QXFileWriteHashKey(file, "stacktrace");
    QXFileWriteArrayStart(file);
    for (uintptr_t address : stacktrace) QXFileWriteArrayEntryUint64(file, address);
    QXFileWriteArrayEnd(file);
    if (!error.userInfo.empty()) writePairs(file, "info", error.userInfo);
    if (additionalInfo && !additionalInfo->empty()) writePairs(file, "extra_info", *additionalInfo);
    QXFileWriteHashEnd(file);
    QXFileWriteSectionEnd(file);
}

}  // namespace wv
