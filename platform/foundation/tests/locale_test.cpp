#include "platform/foundation/Locale.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wv {
namespace {

const char* const kVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};

class ScopedLocaleEnv {
  public:
    explicit ScopedLocaleEnv(const std::map<std::string, std::string>& values) {
        for (const char* name : kVariables) {
            if (const char* old = getenv(name)) saved_[name] = old;
            unsetenv(name);
        }
        for (const auto& [name, value] : values) setenv(name.c_str(), value.c_str(), 1);
    }
    ~ScopedLocaleEnv() {
        for (const char* name : kVariables) unsetenv(name);
        for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
    }

  private:
    std::map<std::string, std::string> saved_;
};

struct Case {
    std::map<std::string, std::string> env;
    std::optional<std::string> identifier;
    std::optional<std::string> language;
};

TEST(Locale, IdentifierAndLanguageFromTheEnvironment) {
    const std::vector<Case> cases = {
        {{}, std::nullopt, std::nullopt},
        {{{"LANG", "uk_UA.UTF-8"}}, "uk_UA", "uk"},
        {{{"LANG", "de"}}, "de", "de"},
        {{{"LANG", "sr_RS@latin"}}, "sr_RS", "sr"},
        {{{"LANG", "C.UTF-8"}}, std::nullopt, std::nullopt},
        {{{"LANG", "POSIX"}}, std::nullopt, std::nullopt},
        {{{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "ru_RU.UTF-8"}}, "ru_RU", "ru"},
        {{{"LANG", "de_DE"}, {"LC_MESSAGES", "ru_RU"}, {"LC_ALL", "fr_CA"}}, "fr_CA", "fr"},
        {{{"LANG", "pt_BR"}, {"LC_ALL", ""}}, "pt_BR", "pt"},  // an empty variable is unset
    };
    for (const auto& c : cases) {
        ScopedLocaleEnv env(c.env);
        const std::string label = c.env.empty() ? "(none)" : c.env.begin()->second;
        EXPECT_EQ(Locale::currentIdentifier(), c.identifier) << label;
        EXPECT_EQ(Locale::currentLanguageCode(), c.language) << label;
    }
}

}  // namespace
}  // namespace wv
