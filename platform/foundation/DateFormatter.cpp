#include "platform/foundation/DateFormatter.h"

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

namespace wv {

struct DateFormatter::Impl {
    std::string pattern;
    icu::Locale locale = icu::Locale::getDefault();
    std::unique_ptr<icu::TimeZone> zone{icu::TimeZone::createDefault()};
    // Built on first use and kept: making an ICU formatter costs far more than using one.
    mutable std::unique_ptr<icu::SimpleDateFormat> cached;

    icu::SimpleDateFormat* make() const {
        if (cached) return cached.get();
        UErrorCode status = U_ZERO_ERROR;
        auto format = std::make_unique<icu::SimpleDateFormat>(
            icu::UnicodeString::fromUTF8(pattern), locale, status);
        if (U_FAILURE(status)) return nullptr;
        format->setTimeZone(*zone);
        format->setLenient(false);
        cached = std::move(format);
        return cached.get();
    }
};

DateFormatter::DateFormatter() : impl_(std::make_unique<Impl>()) {}
DateFormatter::~DateFormatter() = default;
DateFormatter::DateFormatter(DateFormatter&&) noexcept = default;
DateFormatter& DateFormatter::operator=(DateFormatter&&) noexcept = default;

void DateFormatter::setFormat(std::string_view pattern) {
    impl_->pattern = std::string(pattern);
    impl_->cached.reset();
}

bool DateFormatter::setTimeZone(std::string_view identifier) {
    std::unique_ptr<icu::TimeZone> zone(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(
            icu::StringPiece(identifier.data(), int32_t(identifier.size())))));
    if (!zone || *zone == icu::TimeZone::getUnknown()) return false;
    impl_->zone = std::move(zone);
    impl_->cached.reset();
    return true;
}

void DateFormatter::setLocale(std::string_view identifier) {
    impl_->locale = icu::Locale(std::string(identifier).c_str());
    impl_->cached.reset();
}

std::string DateFormatter::string(Date date) const {
    auto format = impl_->make();
    if (!format) return {};
    const double ms = double(
        std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count());
    icu::UnicodeString out;
    format->format(ms, out);
    std::string utf8;
    out.toUTF8String(utf8);
    return utf8;
}

std::optional<DateFormatter::Date> DateFormatter::date(std::string_view text) const {
    auto format = impl_->make();
    if (!format) return std::nullopt;
    const icu::UnicodeString input =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
    icu::ParsePosition position(0);
    const UDate ms = format->parse(input, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != input.length()) {
        return std::nullopt;
    }
    return Date(std::chrono::duration_cast<Date::duration>(
        std::chrono::milliseconds(int64_t(ms))));
}

}  // namespace wv
