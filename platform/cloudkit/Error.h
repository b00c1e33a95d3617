#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cloudkit/Record.h"
#include "platform/cloudkit/RecordID.h"

namespace wv::ck {

enum class ErrorCode {
    InternalError,
    PartialFailure,
    NetworkUnavailable,
    NetworkFailure,
    ServiceUnavailable,
    NotAuthenticated,
    UnknownItem,
    InvalidArguments,
    ServerRecordChanged,
    ChangeTokenExpired,
    LimitExceeded,
    QuotaExceeded,
    BadContainer,
};

// What went wrong with a server call. A partial failure lists the failed records in
// `partialErrors`, each carrying its record ID; "server record changed" carries the record
// as the server holds it, so a client that repeats a save after a lost reply can see that
// the server already has what it sent.
class Error {
  public:
    Error(ErrorCode code, std::string detail = {});

    ErrorCode code() const { return code_; }
    const std::string& detail() const { return detail_; }
    // "server record changed: <detail>"; printed by the callers' error lines.
    std::string description() const;

    std::optional<RecordID> recordID;
    std::optional<Record> serverRecord;
    std::vector<Error> partialErrors;

  private:
    ErrorCode code_;
    std::string detail_;
};

// "server record changed", "limit exceeded", "partial failure"...
std::string_view errorText(ErrorCode code);
// The control surface's names: "server-record-changed", "network-unavailable"...
std::string_view errorName(ErrorCode code);
std::optional<ErrorCode> errorCodeNamed(std::string_view name);

}  // namespace wv::ck
