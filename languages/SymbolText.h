#pragma once

#include <string>
#include <string_view>

namespace wv::symbol {

// Symbols of the layout tables compare as text: canonically equivalent strings are equal.
// Tables keep their symbols in NFC; text coming from outside goes through `normalized` first.
// ASCII is returned as it is, without touching the normaliser.
std::string normalized(std::string_view utf8);

bool isAscii(std::string_view utf8);

// The number of code points of well-formed UTF-8 (a continuation byte does not count).
size_t codePointCount(std::string_view utf8);

// The first code point of `utf8` as its own UTF-8 slice; empty for empty input.
std::string_view firstCodePoint(std::string_view utf8);

}  // namespace wv::symbol
