#include "engine/Capitalizer.h"

#include "languages/Graphemes.h"
#include "languages/KeyMapBase.h"
#include "languages/SymbolText.h"
#include "platform/foundation/Text.h"

namespace wv {

namespace {

std::string_view languageOf(std::string_view locale) {
    return locale.substr(0, locale.find_first_of("_-@"));
}

// Languages whose case rules change plain ASCII letters (the dotted and dotless i).
bool hasOwnAsciiCasing(std::string_view locale) {
    const std::string_view language = languageOf(locale);
    return language == "tr" || language == "az";
}

// Greek drops the accents only when a whole word is written in capitals; a capital initial
// keeps its accent ("Άλφα"), which is what the root rules give for a single letter.
std::string initialCaseLocale(std::string locale) {
    return languageOf(locale) == "el" ? std::string() : locale;
}

// ICU locale ids of the learning languages' case rules.
const char* caseLocale(Language language) {
    switch (language) {
        case Language::en:
            return "en";
        case Language::ua:
            return "uk";
        case Language::ru:
            return "ru";
        case Language::de:
            return "de";
        case Language::es:
            return "es";
        case Language::fr:
            return "fr";
        case Language::gr:
            return "el";
        case Language::tr:
            return "tr";
        case Language::it:
            return "it";
        case Language::pr:
            return "pt";
    }
    return "";
}

bool layoutTypes(const KeyboardLayoutData& layout, std::string_view character) {
    const std::string wanted = symbol::normalized(character);
    if (layout.keyCodeForSymbol(wanted)) return true;
    // A base key with Shift or Caps Lock types its upper case unless its Shift entry says
    // otherwise.
    for (int code = 0; code < KeyTable::kKeyCodeLimit; ++code) {
        if (layout.dic().contains(code) && layout.dic().uppercasedAt(code) == wanted) return true;
    }
    return layout.combinator() && layout.combinator()->contains(wanted);
}

}  // namespace

Capitalizer Capitalizer::forKeyMap(const KeyMapBase& keys) {
    return Capitalizer(caseLocale(keys.lang()), [&keys](std::string_view capital) {
        return layoutTypes(keys.layoutData(), capital);
    });
}

Capitalizer::Capitalizer(std::string locale, CanType canType)
    : locale_(initialCaseLocale(std::move(locale))),
      canType_(std::move(canType)),
      asciiFollowsRootRules_(!hasOwnAsciiCasing(locale_)) {}

std::string Capitalizer::capitalize(std::string_view word) const {
    const size_t size = firstGraphemeSize(word);
    if (size == 0) return std::string(word);
    const std::string_view initial = word.substr(0, size);
    std::string capital;
    if (size == 1 && asciiFollowsRootRules_) {
        const char c = initial[0];
        capital.assign(1, c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c);
    } else {
        capital = text::upper(initial, locale_.c_str());
    }
    if (capital == initial) return std::string(word);
    if (canType_ && !canType_(capital)) return std::string(word);
    capital.append(word.substr(size));
    return capital;
}

}  // namespace wv
