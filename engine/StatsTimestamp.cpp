#include "engine/StatsTimestamp.h"

#include <algorithm>
#include <ctime>

namespace wv {

namespace {

bool digits(std::string_view text, size_t at, size_t count, int& value) {
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool isLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
long long daysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yoe = year - era * 400;
    const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

long long offsetAt(long long instant) {
    const time_t t = time_t(instant);
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_gmtoff;
}

// The offset that turns a wall-clock time (given as if it were UTC) into its instant. Zone
// changes lie more than a day apart, so the offsets a day before and after are the only
// candidates. A time that occurs twice (clocks turned back) is its earlier occurrence; one
// that never occurs (clocks turned forward) is read with the offset from before the change.
long long offsetForWallTime(long long asUtc) {
    const long long before = offsetAt(asUtc - 86400);
    const long long after = offsetAt(asUtc + 86400);
    const bool beforeFits = offsetAt(asUtc - before) == before;
    const bool afterFits = offsetAt(asUtc - after) == after;
    if (beforeFits && afterFits) return std::max(before, after);
    if (afterFits) return after;
    return before;
}

}  // namespace

std::optional<Date> StatsTimestampReader::read(std::string_view text) const {
    int year, month, day, hour, minute, second;
    const bool canonical =
        text.size() == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' &&
        text[13] == ':' && text[16] == ':' && digits(text, 0, 4, year) &&
        digits(text, 5, 2, month) && digits(text, 8, 2, day) && digits(text, 11, 2, hour) &&
        digits(text, 14, 2, minute) && digits(text, 17, 2, second) && month >= 1 && month <= 12 &&
        day >= 1 && day <= daysInMonth(year, month) && hour <= 23 && minute <= 59 && second <= 59;
    if (!canonical) {
        if (!formatter_) formatter_.emplace(makeStatsDateFormatter());
        return formatter_->date(text);
    }

    const long long wallHour = daysFromCivil(year, month, day) * 24 + hour;
    if (wallHour != cachedHour_) {
        cachedOffset_ = offsetForWallTime(wallHour * 3600);
        cachedHour_ = wallHour;
    }
    const long long seconds = wallHour * 3600 + minute * 60 + second - cachedOffset_;
    return Date(std::chrono::seconds(seconds));
}

}  // namespace wv
