#include "engine/WVNumbersHelper.h"

#include "platform/foundation/Random.h"

namespace wv {

std::string WVNumbersHelper::numberWithDigits(int digits) {
    switch (digits) {
        case 0:
            return "";
        case 1:
            return std::to_string(randomUniform(10));
        case 2:
            return twoDigitNumber();
        case 3: {
            std::string first = std::to_string(randomUniform(10));
            return first + twoDigitNumber();
        }
        case 4:
            return fourDigitNumber();
        default:
            return "2000";
    }
}

std::string WVNumbersHelper::twoDigitNumber() {
    if (randomUniform(10) <= 4) return std::string(2, char('0' + randomUniform(10)));
    return std::to_string(10 + randomUniform(90));
}

std::string WVNumbersHelper::fourDigitNumber() {
    if (randomUniform(10) <= 4) return std::to_string(1990 + randomUniform(30));
    return std::to_string(1000 + randomUniform(9000));
}

}  // namespace wv
