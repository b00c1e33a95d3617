#pragma once

#include <filesystem>

namespace wv {

// The per-user folders of the desktop (XDG base directories).
struct Folders {
    // $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute.
    static std::filesystem::path dataHome();
    // $XDG_CACHE_HOME, or ~/.cache when it is unset or not absolute.
    static std::filesystem::path cacheHome();
};

}  // namespace wv
