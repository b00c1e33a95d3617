#pragma once

#include <optional>
#include <string_view>

#include "platform/foundation/DateFormatter.h"
#include "storage/Utils.h"

namespace wv {

// Reads the "yyyy-MM-dd HH:mm:ss" texts of the statistics table in the local time zone, the
// zone they were written in. A general date formatter costs tens of microseconds a row, which
// a table of a hundred thousand rows cannot afford; this reader takes the canonical text
// directly and hands anything else to the formatter, so what it accepts is exactly what the
// formatter accepts, plus wall-clock times that fall into a daylight-saving gap (a row is
// never dropped for its date). Keeps the zone offset of the last hour it saw. The formatter
// (and the calendar and zone data it loads) is made only for a text that is not canonical.
class StatsTimestampReader {
  public:
    std::optional<Date> read(std::string_view text) const;

  private:
    mutable std::optional<DateFormatter> formatter_;
    mutable long long cachedHour_ = -1;   // local wall-clock hours since the epoch
    mutable long long cachedOffset_ = 0;  // seconds east of UTC for that hour
};

}  // namespace wv
