#pragma once

#include <cstdint>
#include <string>

#include "platform/foundation/Error.h"

namespace wv::net {

// The one error type of the program's run-time failures.
using Error = wv::Error;

// The URL-loading domain and the codes this layer reports (the values callers classify by).
inline constexpr const char* kURLErrorDomain = "NSURLErrorDomain";
inline constexpr const char* kURLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey";

namespace URLError {
inline constexpr int64_t Unknown = -1;
inline constexpr int64_t Cancelled = -999;
inline constexpr int64_t BadURL = -1000;
inline constexpr int64_t TimedOut = -1001;
inline constexpr int64_t UnsupportedURL = -1002;
inline constexpr int64_t CannotFindHost = -1003;
inline constexpr int64_t CannotConnectToHost = -1004;
inline constexpr int64_t NetworkConnectionLost = -1005;
inline constexpr int64_t HTTPTooManyRedirects = -1007;
inline constexpr int64_t BadServerResponse = -1011;
inline constexpr int64_t CannotDecodeContentData = -1016;
inline constexpr int64_t CannotParseResponse = -1017;
inline constexpr int64_t FileDoesNotExist = -1100;
inline constexpr int64_t FileIsDirectory = -1101;
inline constexpr int64_t NoPermissionsToReadFile = -1102;
inline constexpr int64_t DataLengthExceedsMaximum = -1103;
inline constexpr int64_t SecureConnectionFailed = -1200;
inline constexpr int64_t ServerCertificateUntrusted = -1202;
inline constexpr int64_t ClientCertificateRejected = -1205;
inline constexpr int64_t ClientCertificateRequired = -1206;
inline constexpr int64_t CannotCreateFile = -3000;
inline constexpr int64_t CannotWriteToFile = -3003;
}  // namespace URLError

// An error of the URL-loading domain for `url`, with a readable description.
Error makeURLError(int64_t code, const std::string& url, const std::string& description);

}  // namespace wv::net
