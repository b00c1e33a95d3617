#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/foundation/DateFormatter.h"

namespace wv {

using Date = std::chrono::system_clock::time_point;

// The date in the format (empty: "yyyy,MMM dd, HH:mm:ss"), current locale and time zone.
// A result of exactly "0m" is the empty text.
std::string toString(Date date, std::string_view format);

// The statistics timestamp, "yyyy-MM-dd HH:mm:ss". Rows are written with toString in the local
// time zone, so they are read back in that same zone: a record keeps its own hour.
DateFormatter makeStatsDateFormatter();
inline constexpr std::string_view kStatsDateFormat = "yyyy-MM-dd HH:mm:ss";

// The user-perceived characters of the text with the separator between them ("abc" -> "a, b, c").
std::string joinedCharacters(std::string_view text, std::string_view separator);

}  // namespace wv
