#include "platform/foundation/Folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace wv {

namespace {

std::filesystem::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

// The XDG rules: a relative path in the variable is invalid and is ignored.
std::filesystem::path xdgFolder(const char* variable, const char* fallbackUnderHome) {
    if (const char* value = std::getenv(variable); value && value[0] == '/') return value;
    return homeFolder() / fallbackUnderHome;
}

}  // namespace

std::filesystem::path Folders::dataHome() { return xdgFolder("XDG_DATA_HOME", ".local/share"); }

std::filesystem::path Folders::cacheHome() { return xdgFolder("XDG_CACHE_HOME", ".cache"); }

}  // namespace wv
