#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wv::text {

// UTF-8 in and out everywhere; "character" means a user-perceived character
// (an extended grapheme cluster), as the learner sees it on screen.
std::vector<std::string> characters(std::string_view utf8);
size_t characterCount(std::string_view utf8);

std::u32string toUtf32(std::string_view utf8);
std::string toUtf8(std::u32string_view text);
std::string toUtf8(char32_t codePoint);

// UTF-16 code units, the units the platform's strings count in; a byte that is not valid
// UTF-8 becomes U+FFFD, so text from outside can always be encoded again.
std::u16string toUtf16(std::string_view utf8);
std::string fromUtf16(std::u16string_view utf16);

// Full Unicode case mapping; `locale` selects a language's own rules ("tr": i -> İ).
std::string upper(std::string_view utf8, const char* locale = "");
std::string lower(std::string_view utf8, const char* locale = "");

// A text's truth as the platform reads it: after leading white space, an optional sign and
// any zeros, true when the next character is one of "YyTt" or a digit 1 to 9; the rest of
// the text is ignored ("yes", "+007", " t" are true; "no", "0", "", "-0" are false).
bool boolValue(std::string_view text);

// Canonical composition (NFC).
std::string nfc(std::string_view utf8);

}  // namespace wv::text
