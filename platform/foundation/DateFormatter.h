#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace wv {

// Dates to text and back with date-format patterns ("yyyy-MM-dd HH:mm:ss", "MMM dd"),
// in the current locale and time zone unless told otherwise. Parsing is strict: the whole
// text must match the pattern. One formatter must not be used from two threads at once.
class DateFormatter {
public:
    using Date = std::chrono::system_clock::time_point;

    DateFormatter();
    ~DateFormatter();
    DateFormatter(DateFormatter&&) noexcept;
    DateFormatter& operator=(DateFormatter&&) noexcept;

    void setFormat(std::string_view pattern);
    // An identifier such as "Europe/London"; false (and the zone unchanged) when unknown.
    bool setTimeZone(std::string_view identifier);
    void setLocale(std::string_view identifier);  // "en_US", "de"...

    std::string string(Date date) const;
    std::optional<Date> date(std::string_view text) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace wv
