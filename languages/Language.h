#pragma once

#include <optional>
#include <string_view>

namespace wv {

// The learning languages. The raw value is what settings, lesson records and cloud records
// store, so it never changes; it is not the order the interface lists the languages in.
enum class Language : int {
    en = 0,
    ua = 1,
    ru = 2,
    de = 3,
    es = 4,
    fr = 5,
    gr = 6,
    tr = 7,
    it = 8,
    pr = 9,
};

// The language stored as `raw`; none for any value outside 0..9.
std::optional<Language> languageFromRawValue(int raw);

constexpr int rawValue(Language language) { return static_cast<int>(language); }

// The case name ("en", "ua", ... "pr"): printed in messages, names the localisation columns,
// and upper-cased it is the code shown in the settings.
std::string_view languageName(Language language);

}  // namespace wv
