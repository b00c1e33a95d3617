#include "platform/foundation/Text.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <cctype>
#include <memory>

namespace wv::text {

namespace {

icu::UnicodeString fromUtf8(std::string_view utf8) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), int32_t(utf8.size())));
}

bool isAscii(std::string_view utf8) {
    for (char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Only Turkish and Azerbaijani case the letters of ASCII their own way (i with and without a dot).
bool asciiCasesPlainly(const char* locale) {
    const std::string_view id = locale ? locale : "";
    std::string language(id.substr(0, id.find_first_of("_-@.")));
    for (char& c : language) c = char(std::tolower(static_cast<unsigned char>(c)));
    return language != "tr" && language != "az";
}

// `ascii` with the letters from `from` to `from` + 25 moved to the case starting at `to`.
std::string asciiRecased(std::string_view ascii, char from, char to) {
    std::string out(ascii);
    for (char& c : out)
        if (c >= from && c < from + 26) c = char(c - from + to);
    return out;
}

std::string toStd(const icu::UnicodeString& s) {
    std::string out;
    s.toUTF8String(out);
    return out;
}

}  // namespace

std::u16string toUtf16(std::string_view utf8) {
    const icu::UnicodeString s = fromUtf8(utf8);
    return std::u16string(s.getBuffer(), size_t(s.length()));
}

std::string fromUtf16(std::u16string_view utf16) {
    return toStd(icu::UnicodeString(utf16.data(), int32_t(utf16.size())));
}

std::vector<std::string> characters(std::string_view utf8) {
    std::vector<std::string> out;
    if (utf8.empty()) return out;
    // Every ASCII byte is a character of its own, but for CR LF: most text needs no rules.
    if (isAscii(utf8) && utf8.find("\r\n") == std::string_view::npos) {
        out.reserve(utf8.size());
        for (char c : utf8) out.emplace_back(1, c);
        return out;
    }
    // Making an iterator reads its rules anew: each thread keeps one.
    thread_local const std::unique_ptr<icu::BreakIterator> it = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_FAILURE(status) ? nullptr : std::move(made);
    }();
    if (!it) {
        // Without break rules, fall back to one code point per character.
        for (char32_t c : toUtf32(utf8)) out.push_back(toUtf8(c));
        return out;
    }
    const icu::UnicodeString s = fromUtf8(utf8);
    it->setText(s);
    int32_t start = it->first();
    for (int32_t end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
        out.push_back(toStd(s.tempSubStringBetween(start, end)));
    }
    return out;
}

size_t characterCount(std::string_view utf8) { return characters(utf8).size(); }

std::u32string toUtf32(std::string_view utf8) {
    icu::UnicodeString s = fromUtf8(utf8);
    std::u32string out;
    out.reserve(size_t(s.length()));
    for (int32_t i = 0; i < s.length(); i = s.moveIndex32(i, 1))
        out.push_back(char32_t(s.char32At(i)));
    return out;
}

std::string toUtf8(std::u32string_view text) {
    icu::UnicodeString s;
    for (char32_t c : text) s.append(UChar32(c));
    return toStd(s);
}

std::string toUtf8(char32_t codePoint) { return toUtf8(std::u32string_view(&codePoint, 1)); }

std::string upper(std::string_view utf8, const char* locale) {
    if (isAscii(utf8) && asciiCasesPlainly(locale)) return asciiRecased(utf8, 'a', 'A');
    icu::UnicodeString s = fromUtf8(utf8);
    s.toUpper(icu::Locale(locale));
    return toStd(s);
}

std::string lower(std::string_view utf8, const char* locale) {
    if (isAscii(utf8) && asciiCasesPlainly(locale)) return asciiRecased(utf8, 'A', 'a');
    icu::UnicodeString s = fromUtf8(utf8);
    s.toLower(icu::Locale(locale));
    return toStd(s);
}

std::string nfc(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);  // ASCII is composed as it stands
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* norm = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(utf8);
    icu::UnicodeString out = norm->normalize(fromUtf8(utf8), status);
    if (U_FAILURE(status)) return std::string(utf8);
    return toStd(out);
}

}  // namespace wv::text

namespace wv::text {

bool boolValue(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    while (i < text.size() && text[i] == '0') ++i;
    if (i == text.size()) return false;
    const char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

}  // namespace wv::text
