#include "languages/Graphemes.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

#include <memory>

#include "platform/foundation/Text.h"

namespace wv {

namespace {

bool isAscii(unsigned char c) { return c < 0x80; }

// Every ASCII byte is a character of its own, except that CR LF is one.
bool plainAscii(std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (!isAscii(static_cast<unsigned char>(s[i]))) return false;
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') return false;
    }
    return true;
}

// This thread's character break iterator over `utf8` for the life of the object; the
// iterator keeps only a shallow view of the bytes, so it is not used once they are gone.
class Breaks {
  public:
    explicit Breaks(std::string_view utf8) {
        thread_local std::unique_ptr<icu::BreakIterator> shared = [] {
            UErrorCode status = U_ZERO_ERROR;
            std::unique_ptr<icu::BreakIterator> it(
                icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
            return U_FAILURE(status) ? nullptr : std::move(it);
        }();
        UErrorCode status = U_ZERO_ERROR;
        utext_openUTF8(&text_, utf8.data(), int64_t(utf8.size()), &status);
        if (shared && U_SUCCESS(status)) shared->setText(&text_, status);
        if (shared && U_SUCCESS(status)) iterator_ = shared.get();
    }
    ~Breaks() { utext_close(&text_); }
    Breaks(const Breaks&) = delete;
    Breaks& operator=(const Breaks&) = delete;

    // Null when ICU has no break rules.
    icu::BreakIterator* iterator() const { return iterator_; }

  private:
    UText text_ = UTEXT_INITIALIZER;
    icu::BreakIterator* iterator_ = nullptr;
};

}  // namespace

size_t graphemeCount(std::string_view utf8) {
    if (plainAscii(utf8)) return utf8.size();
    Breaks breaks(utf8);
    icu::BreakIterator* it = breaks.iterator();
    if (!it) return text::characterCount(utf8);
    size_t count = 0;
    it->first();
    for (int32_t end = it->next(); end != icu::BreakIterator::DONE; end = it->next()) ++count;
    return count;
}

size_t firstGraphemeSize(std::string_view utf8) {
    if (utf8.empty()) return 0;
    const bool nextIsAscii = utf8.size() == 1 || isAscii(static_cast<unsigned char>(utf8[1]));
    if (isAscii(static_cast<unsigned char>(utf8[0])) && nextIsAscii &&
        utf8.substr(0, 2) != "\r\n") {
        return 1;
    }
    Breaks breaks(utf8);
    icu::BreakIterator* it = breaks.iterator();
    if (!it) return text::characters(utf8).front().size();
    it->first();
    const int32_t end = it->next();
    return end == icu::BreakIterator::DONE ? utf8.size() : size_t(end);
}

}  // namespace wv
