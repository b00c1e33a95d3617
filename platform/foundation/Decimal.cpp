#include "platform/foundation/Decimal.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>

namespace wv {

namespace {
using Mantissa = unsigned __int128;

Mantissa pow10(int n) {
    Mantissa p = 1;
    for (int i = 0; i < n; ++i) p *= 10;
    return p;
}

const Mantissa kLimit = pow10(Decimal::kMaxDigits);  // first mantissa that does not fit

int digitsOf(Mantissa m) {
    int n = 0;
    while (m != 0) {
        m /= 10;
        ++n;
    }
    return n;
}

std::string digitText(Mantissa m) {
    if (m == 0) return "0";
    std::string s;
    while (m != 0) {
        s.push_back(char('0' + int(m % 10)));
        m /= 10;
    }
    std::reverse(s.begin(), s.end());
    return s;
}
}  // namespace

Decimal Decimal::notANumber() {
    Decimal d;
    d.nan_ = true;
    return d;
}

Decimal Decimal::largest() { return normalized(false, kLimit - 1, kMaxExponent); }

Decimal Decimal::fromInteger(int64_t value) {
    const bool negative = value < 0;
    const Mantissa magnitude =
        negative ? Mantissa(-(value + 1)) + 1 : Mantissa(static_cast<uint64_t>(value));
    return normalized(negative, magnitude, 0);
}

Decimal Decimal::normalized(bool negative, Mantissa mantissa, int64_t exponent) {
    if (mantissa == 0) return Decimal();
    // Digits below the smallest exponent are rounded away, half up, as the platform does.
    while (exponent < kMinExponent && mantissa != 0) {
        const int last = int(mantissa % 10);
        mantissa = mantissa / 10 + (last >= 5 ? 1 : 0);
        ++exponent;
    }
    if (mantissa == 0) return Decimal();
    // A large exponent is moved into the mantissa while it has room.
    while (exponent > kMaxExponent && mantissa * 10 < kLimit) {
        mantissa *= 10;
        --exponent;
    }
    if (exponent > kMaxExponent) return notANumber();
    Decimal d;
    d.negative_ = negative;
    d.mantissa_ = mantissa;
    d.exponent_ = int(exponent);
    return d;
}

Decimal Decimal::fromString(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    Mantissa mantissa = 0;
    int kept = 0;
    int64_t exponent = 0;
    bool anyDigit = false, seenPoint = false, roundUp = false, firstDropped = true;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !seenPoint) {
            seenPoint = true;
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        anyDigit = true;
        const int digit = c - '0';
        if (kept == 0 && digit == 0) {
            if (seenPoint) --exponent;
            continue;
        }
        if (kept < kMaxDigits) {
            mantissa = mantissa * 10 + Mantissa(digit);
            ++kept;
            if (seenPoint) --exponent;
        } else {
            if (firstDropped) roundUp = digit >= 5;
            firstDropped = false;
            if (!seenPoint) ++exponent;
        }
    }
    if (!anyDigit) return notANumber();
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        if (i == text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
            return notANumber();
        int64_t e = 0;
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
            e = std::min<int64_t>(e * 10 + (text[i] - '0'), 100000);
        exponent += expNegative ? -e : e;
    }
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i != text.size()) return notANumber();
    if (roundUp && ++mantissa == kLimit) {
        mantissa /= 10;
        ++exponent;
    }
    return normalized(negative, mantissa, exponent);
}

int Decimal::digitCount() const { return digitsOf(mantissa_); }

bool Decimal::isWhole() const {
    if (nan_) return false;
    if (exponent_ >= 0 || mantissa_ == 0) return true;
    if (-exponent_ > kMaxDigits) return false;
    return mantissa_ % pow10(-exponent_) == 0;
}

Decimal Decimal::scaledByPowerOf10(int power) const {
    if (nan_) return *this;
    return normalized(negative_, mantissa_, int64_t(exponent_) + power);
}

std::optional<int64_t> Decimal::toInt64() const {
    if (!isWhole()) return std::nullopt;
    if (mantissa_ == 0) return 0;
    if (exponent_ > 19) return std::nullopt;
    Mantissa m = mantissa_;
    if (exponent_ >= 0) {
        m *= pow10(exponent_);  // at most 38 + 19 digits would overflow: checked below
        if (m / pow10(exponent_) != mantissa_) return std::nullopt;
    } else {
        m /= pow10(-exponent_);
    }
    const Mantissa limit = Mantissa(uint64_t(INT64_MAX)) + (negative_ ? 1 : 0);
    if (m > limit) return std::nullopt;
    return negative_ ? int64_t(-(m - 1)) - 1 : int64_t(uint64_t(m));
}

double Decimal::toDouble() const {
    if (nan_) return std::numeric_limits<double>::quiet_NaN();
    const std::string text =
        (negative_ ? "-" : "") + digitText(mantissa_) + "e" + std::to_string(exponent_);
    return std::strtod(text.c_str(), nullptr);
}

std::string Decimal::toString() const {
    if (nan_) return "NaN";
    if (mantissa_ == 0) return "0";
    // Trailing zeros say nothing about the value: 123.4500 is shown as 123.45.
    Mantissa m = mantissa_;
    int exponent = exponent_;
    while (m % 10 == 0) {
        m /= 10;
        ++exponent;
    }
    std::string digits = digitText(m);
    std::string out = negative_ ? "-" : "";
    const int n = int(digits.size());
    if (exponent >= 0 && n + exponent <= 40) return out + digits + std::string(exponent, '0');
    if (exponent < 0 && -exponent <= 40) {
        const int point = n + exponent;
        if (point > 0) return out + digits.substr(0, point) + "." + digits.substr(point);
        return out + "0." + std::string(-point, '0') + digits;
    }
    const std::string rest = n > 1 ? "." + digits.substr(1) : "";
    return out + digits.substr(0, 1) + rest + "E" + std::to_string(exponent + n - 1);
}

std::partial_ordering Decimal::operator<=>(const Decimal& other) const {
    if (nan_ || other.nan_) return std::partial_ordering::unordered;
    const bool zeroA = mantissa_ == 0, zeroB = other.mantissa_ == 0;
    const int signA = zeroA ? 0 : (negative_ ? -1 : 1);
    const int signB = zeroB ? 0 : (other.negative_ ? -1 : 1);
    if (signA != signB) return signA <=> signB;
    if (signA == 0) return std::partial_ordering::equivalent;
    // Same sign: compare magnitudes by their order, then digit by digit at a common scale.
    const int orderA = digitCount() + exponent_, orderB = other.digitCount() + other.exponent_;
    std::strong_ordering magnitude = orderA <=> orderB;
    if (magnitude == 0) {
        Mantissa a = mantissa_, b = other.mantissa_;
        if (exponent_ > other.exponent_)
            a *= pow10(exponent_ - other.exponent_);
        else
            b *= pow10(other.exponent_ - exponent_);
        magnitude = a <=> b;
    }
    return signA > 0 ? std::partial_ordering(magnitude) : std::partial_ordering(0 <=> magnitude);
}

}  // namespace wv
