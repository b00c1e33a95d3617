#pragma once

// What the application attaches to the next report between crashes: custom key-values, the
// user's identity, log messages and recorded errors. Every call writes its line at once into
// the run's report folder (through the logging queue; see QXUserLoggingStorage.h) and returns
// when it is written. Nothing is recorded before the crash context is initialised; bad keys,
// bad values and failures are logged and never reported to the caller.
//
// Objects are taken as std::any, an empty one standing for nil. A value is recorded as its
// description (see QXUserLoggingDescription); one without a description records as nil.

#include <any>
#include <cstdarg>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "sdk/crash/context/QXUserLoggingStorage.h"

namespace wv {

// Texts: std::string (also as std::optional, none being nil), const char* (a pointer below
// 4096 counts as none), std::string_view. Numbers as the platform's boxed numbers describe
// themselves: integers in decimal, bool as "1" or "0", float with 7 and double with 16
// significant digits. wv::Error by its description(); a plist::Value holding a string, number
// or boolean like the above. Anything else (and nil) has none.
std::optional<std::string> QXUserLoggingDescription(const std::any& object);

// The public key-value calls: the user store (custom keys) and the internal one (identity,
// development platform, the controller's activity keys). A nil value removes the key.
void QXUserLoggingRecordUserKeyValue(const std::optional<std::string>& key, const std::any& value);
void QXUserLoggingRecordInternalKeyValue(const std::optional<std::string>& key,
                                         const std::any& value);
// The same as the internal call, for callers already on the logging queue.
void QXUserLoggingWriteInternalKeyValue(const std::optional<std::string>& key,
                                        const std::any& value);
// Into any store with its own counter (the public report object records into an earlier
// run's folder this way). The key must be present; the counter belongs to the logging queue.
void QXUserLoggingRecordKeyValue(const std::optional<std::string>& key, const std::any& value,
                                 const QXUserLoggingKVStorage* storage, uint32_t* counter);

// One log message into the log store, cut to the store's size with a warning on the system
// log. Before initialisation the message only reaches the system log.
void QXUserLoggingRecordLogMessage(const std::optional<std::string>& message);
// printf-style public logging; the NS forms also write the message to the system log.
void QXLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void QXLogv(const char* format, va_list arguments) __attribute__((format(printf, 1, 0)));
void QXNSLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void QXNSLogv(const char* format, va_list arguments) __attribute__((format(printf, 1, 0)));

// A recorded (non-fatal) error with the calling thread's return addresses. Nothing for a null
// error, or while error reporting is off (the errors store then has no limit).
using QXUserInfo = std::map<std::string, std::any>;
void QXUserLoggingRecordError(const Error* error, const std::optional<QXUserInfo>& additionalInfo);
// The `error` line: domain, code, time, stack trace, then `info` and `extra_info` for
// non-empty dictionaries, as [hex of the key, hex of the value's description] pairs; entries
// whose value has no description are left out.
void QXUserLoggingWriteError(QXFile* file, const Error& error,
                             const std::vector<uintptr_t>& stacktrace, uint64_t time,
                             const std::optional<QXUserInfo>& additionalInfo);

}  // namespace wv
