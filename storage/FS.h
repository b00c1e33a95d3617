#pragma once

#include <filesystem>

namespace wv {

// Where the application keeps its own files, and a file copy with an overwrite rule.
class FS {
public:
    FS() = delete;

    // $XDG_DATA_HOME/<bundle identifier>, created with any missing parents on every call
    // ("BLA" is printed when that fails; the path is returned all the same).
    static std::filesystem::path appSupportURL();

    // Copies source to target. With overwrite an existing target is replaced; without it an
    // existing target stays as it was and the result is false. The target only ever appears
    // complete: the copy is made beside it and renamed into place.
    static bool copyFile(const std::filesystem::path& source, const std::filesystem::path& target,
                         bool overwrite);
};

}  // namespace wv
