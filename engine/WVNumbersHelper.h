#pragma once

#include <string>

namespace wv {

// Number texts for the words of an exercise line that become numbers: short figures, often a
// repeated digit or shaped like a year, so the number row is practised with realistic values.
class WVNumbersHelper {
  public:
    // 0 digits: ""; 1: one digit; 2: twoDigitNumber; 3: a digit (possibly "0") then
    // twoDigitNumber; 4: fourDigitNumber; any other count: "2000".
    static std::string numberWithDigits(int digits);
    // Half of the time one digit twice ("00" .. "99"), otherwise 10 .. 99.
    static std::string twoDigitNumber();
    // Half of the time a year 1990 .. 2019, otherwise 1000 .. 9999.
    static std::string fourDigitNumber();
};

}  // namespace wv
