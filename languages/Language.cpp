#include "languages/Language.h"

#include <array>

namespace wv {

namespace {
constexpr std::array<std::string_view, 10> kNames = {"en", "ua", "ru", "de", "es",
                                                     "fr", "gr", "tr", "it", "pr"};
}

std::optional<Language> languageFromRawValue(int raw) {
    if (raw < 0 || raw >= int(kNames.size())) return std::nullopt;
    return static_cast<Language>(raw);
}

std::string_view languageName(Language language) {
    int raw = rawValue(language);
    if (raw < 0 || raw >= int(kNames.size())) return {};
    return kNames[size_t(raw)];
}

}  // namespace wv
