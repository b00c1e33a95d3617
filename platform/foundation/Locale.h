#pragma once

#include <optional>
#include <string>

namespace wv {

// The user's locale as the environment names it: LC_ALL, then LC_MESSAGES, then LANG (an
// empty variable counts as unset), in the form language[_territory][.codeset][@modifier].
struct Locale {
    // "uk_UA.UTF-8" gives "uk_UA", "de" gives "de"; none for the C/POSIX locale or when
    // nothing is set.
    static std::optional<std::string> currentIdentifier();
    // The language part alone: "uk_UA.UTF-8" gives "uk".
    static std::optional<std::string> currentLanguageCode();
};

}  // namespace wv
