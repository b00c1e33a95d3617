#include "engine/WVWord.h"

#include "engine/Capitalizer.h"

namespace wv {

std::string WVWord::text(const Capitalizer& capitals) const {
    const Source& source = isNumber ? getNumberWithDigits : getWordWithSymbols;
    std::string out = source ? source(length) : std::string();
    return isCapitalized ? capitals.capitalize(out) : out;
}

}  // namespace wv
