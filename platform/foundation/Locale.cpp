#include "platform/foundation/Locale.h"

#include <cstdlib>

namespace wv {

namespace {

std::string environmentLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return value;
    }
    return {};
}

}  // namespace

std::optional<std::string> Locale::currentIdentifier() {
    const std::string locale = environmentLocale();
    std::string identifier = locale.substr(0, locale.find_first_of(".@"));
    const std::string language = identifier.substr(0, identifier.find_first_of("_-"));
    if (language.empty() || language == "C" || language == "POSIX") return std::nullopt;
    return identifier;
}

std::optional<std::string> Locale::currentLanguageCode() {
    auto identifier = currentIdentifier();
    if (!identifier) return std::nullopt;
    return identifier->substr(0, identifier->find_first_of("_-"));
}

}  // namespace wv
