#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wv {

// A decimal number as the platform's decimal type keeps it: up to 38 significant digits and
// a power-of-ten exponent from -128 to 127, or not-a-number. Money is kept in it so that 9.99
// stays 9.99 and scales by powers of ten without the errors of binary floating point.
class Decimal {
  public:
    static constexpr int kMaxDigits = 38;
    static constexpr int kMinExponent = -128;
    static constexpr int kMaxExponent = 127;

    Decimal() = default;  // zero
    static Decimal fromInteger(int64_t value);
    // "9.99", "-1e6", " +0.5E-3": an optional sign, digits with an optional point, an optional
    // exponent. Anything else, or a number beyond the largest, gives not-a-number; digits past
    // the 38th are rounded half up, and a number below the smallest becomes zero.
    static Decimal fromString(std::string_view text);
    static Decimal notANumber();
    static Decimal largest();  // 38 nines times ten to the 127th

    bool isNaN() const { return nan_; }
    bool isZero() const { return !nan_ && mantissa_ == 0; }
    bool isWhole() const;
    // Exact: only the exponent moves (digits are rounded away only below the smallest
    // exponent). Not-a-number when the result is beyond the largest.
    Decimal scaledByPowerOf10(int power) const;

    // The value as an integer when it is whole and fits, else none.
    std::optional<int64_t> toInt64() const;
    // The nearest double (NaN for not-a-number).
    double toDouble() const;
    // Plain decimal notation ("9990000", "-0.001", "NaN"); scientific past 40 digits.
    std::string toString() const;

    // Unordered when either side is not-a-number; -0 equals 0.
    std::partial_ordering operator<=>(const Decimal& other) const;
    bool operator==(const Decimal& other) const { return (*this <=> other) == 0; }

  private:
    using Mantissa = unsigned __int128;
    static Decimal normalized(bool negative, Mantissa mantissa, int64_t exponent);
    int digitCount() const;

    bool nan_ = false;
    bool negative_ = false;
    Mantissa mantissa_ = 0;  // below 10^38
    int exponent_ = 0;
};

}  // namespace wv
