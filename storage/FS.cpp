#include "storage/FS.h"

#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"

namespace wv {

std::filesystem::path FS::appSupportURL() {
    const auto url = Folders::dataHome() / Bundle::main().identifier();
    std::error_code ec;
    std::filesystem::create_directories(url, ec);
    if (ec || !std::filesystem::is_directory(url)) Log::print("BLA");
    return url;
}

bool FS::copyFile(const std::filesystem::path& source, const std::filesystem::path& target,
                  bool overwrite) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(source, ec)) return false;
    if (!overwrite && std::filesystem::exists(target, ec)) return false;
    auto temp = target;
    temp += ".copy-" + std::to_string(::getpid());
    std::filesystem::copy_file(source, temp, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    if (!overwrite) {
        // link() refuses an existing target, so a file that appeared meanwhile is kept.
        const bool linked = ::link(temp.c_str(), target.c_str()) == 0;
        std::filesystem::remove(temp, ec);
        return linked;
    }
    std::filesystem::rename(temp, target, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace wv
