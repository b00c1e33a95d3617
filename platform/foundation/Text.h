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

// Full Unicode case mapping; `locale` selects a language's own rules ("tr": i -> İ).
std::string upper(std::string_view utf8, const char* locale = "");
std::string lower(std::string_view utf8, const char* locale = "");

// Canonical composition (NFC).
std::string nfc(std::string_view utf8);

}  // namespace wv::text
