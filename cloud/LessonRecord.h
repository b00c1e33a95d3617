#pragma once

#include <optional>
#include <string>

#include "engine/LessonInfo.h"
#include "platform/cloudkit/Record.h"

namespace wv {

// The cloud record of one lesson record: its 15 fields, flags as the integers 0 and 1 and an
// absent layout index as 0. Without a name the record gets a new one; a name is given only to
// repeat a send whose reply never came, so that the server can recognise it.
ck::Record lessonRecord(const LessonInfo& lesson, const std::string& recordType,
                        const std::optional<std::string>& recordName = std::nullopt);

}  // namespace wv
