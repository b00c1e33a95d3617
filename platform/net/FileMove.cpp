#include "platform/net/FileMove.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace wv::net {

bool moveFile(const std::string& from, const std::string& to, std::error_code& error) {
    namespace fs = std::filesystem;
    error.clear();
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV) {
        error = std::error_code(errno, std::generic_category());
        return false;
    }
    const fs::path target(to);
    const fs::path temporary = target.parent_path() / (target.filename().string() + ".moving");
    fs::copy_file(from, temporary, fs::copy_options::overwrite_existing, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    fs::remove(from, error);
    error.clear();
    return true;
}

}  // namespace wv::net
