#include "storage/Utils.h"

#include "platform/foundation/Text.h"

namespace wv {

std::string toString(Date date, std::string_view format) {
    DateFormatter formatter;
    formatter.setFormat(format.empty() ? "yyyy,MMM dd, HH:mm:ss" : format);
    std::string out = formatter.string(date);
    return out == "0m" ? std::string() : out;
}

DateFormatter makeStatsDateFormatter() {
    DateFormatter formatter;
    formatter.setFormat(kStatsDateFormat);
    return formatter;
}

std::string joinedCharacters(std::string_view text, std::string_view separator) {
    std::string out;
    bool first = true;
    for (const auto& character : text::characters(text)) {
        if (!first) out += separator;
        out += character;
        first = false;
    }
    return out;
}

}  // namespace wv
