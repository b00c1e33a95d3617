#pragma once

#include "platform/cloudkit/Query.h"

namespace wv {

// The record type every lesson record travels as.
inline constexpr const char* kLessonRecordType = "WVLessonStats";
// The user-defaults key of the last stored server change token.
inline constexpr const char* kChangeTokenKey = "WVCloudLogicChangeToken";
// The user-defaults key of the account the synchronised rows and the token belong to.
inline constexpr const char* kSyncedAccountKey = "WVCloudLogicAccount";

// Every record of the lesson record type.
inline ck::Query allRecordsQuery() {
    return ck::Query(kLessonRecordType, ck::Predicate::withValue(true));
}

}  // namespace wv
