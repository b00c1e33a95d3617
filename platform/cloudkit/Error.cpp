#include "platform/cloudkit/Error.h"

#include <array>
#include <utility>

namespace wv::ck {

namespace {

struct CodeNames {
    ErrorCode code;
    std::string_view text;
    std::string_view name;
};

constexpr std::array<CodeNames, 13> kCodes{{
    {ErrorCode::InternalError, "internal error", "internal-error"},
    {ErrorCode::PartialFailure, "partial failure", "partial-failure"},
    {ErrorCode::NetworkUnavailable, "network unavailable", "network-unavailable"},
    {ErrorCode::NetworkFailure, "network failure", "network-failure"},
    {ErrorCode::ServiceUnavailable, "service unavailable", "service-unavailable"},
    {ErrorCode::NotAuthenticated, "not authenticated", "not-authenticated"},
    {ErrorCode::UnknownItem, "unknown item", "unknown-item"},
    {ErrorCode::InvalidArguments, "invalid arguments", "invalid-arguments"},
    {ErrorCode::ServerRecordChanged, "server record changed", "server-record-changed"},
    {ErrorCode::ChangeTokenExpired, "change token expired", "change-token-expired"},
    {ErrorCode::LimitExceeded, "limit exceeded", "limit-exceeded"},
    {ErrorCode::QuotaExceeded, "quota exceeded", "quota-exceeded"},
    {ErrorCode::BadContainer, "bad container", "bad-container"},
}};

}  // namespace

Error::Error(ErrorCode code, std::string detail) : code_(code), detail_(std::move(detail)) {}

std::string Error::description() const {
    std::string text(errorText(code_));
    if (!detail_.empty()) text += ": " + detail_;
    return text;
}

std::string_view errorText(ErrorCode code) {
    for (const auto& entry : kCodes) {
        if (entry.code == code) return entry.text;
    }
    return "internal error";
}

std::string_view errorName(ErrorCode code) {
    for (const auto& entry : kCodes) {
        if (entry.code == code) return entry.name;
    }
    return "internal-error";
}

std::optional<ErrorCode> errorCodeNamed(std::string_view name) {
    for (const auto& entry : kCodes) {
        if (entry.name == name) return entry.code;
    }
    return std::nullopt;
}

}  // namespace wv::ck
