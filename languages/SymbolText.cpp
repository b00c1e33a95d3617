#include "languages/SymbolText.h"

#include "platform/foundation/Text.h"

namespace wv::symbol {

bool isAscii(std::string_view utf8) {
    for (unsigned char c : utf8) {
        if (c >= 0x80) return false;
    }
    return true;
}

std::string normalized(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    return text::nfc(utf8);
}

size_t codePointCount(std::string_view utf8) {
    size_t count = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) ++count;
    }
    return count;
}

std::string_view firstCodePoint(std::string_view utf8) {
    if (utf8.empty()) return {};
    size_t end = 1;
    while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) ++end;
    return utf8.substr(0, end);
}

}  // namespace wv::symbol
