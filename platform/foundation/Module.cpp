#include "platform/foundation/Module.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/foundation/Log.h"

namespace wv {

namespace {

std::vector<std::filesystem::path> searchFolders() {
    std::vector<std::filesystem::path> folders;
    std::error_code ec;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) folders.push_back(executable.parent_path());
    const std::filesystem::path buildTree = WOVANU_MODULE_DIR;
    if (folders.empty() || !std::filesystem::equivalent(folders.front(), buildTree, ec))
        folders.push_back(buildTree);
    return folders;
}

}  // namespace

std::optional<Module> Module::open(const std::string& fileName, std::string& error) {
    for (const auto& folder : searchFolders()) {
        const auto path = folder / fileName;
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) continue;
        // RTLD_LOCAL: what the module links stays out of the program's own symbol lookups.
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            using Attach = void(void (*)(LogChannel, std::string_view));
            if (auto* attach = reinterpret_cast<Attach*>(dlsym(handle, "wovanu_module_attach")))
                attach(&Log::write);
            return Module(handle, path);
        }
        const char* why = dlerror();
        error = "dlopen failed: " + std::string(why ? why : path.string());
        return std::nullopt;
    }
    error = "dlopen failed: no " + fileName + " beside the program or in " WOVANU_MODULE_DIR;
    return std::nullopt;
}

void* Module::symbol(const char* name, std::string& error) const {
    dlerror();
    void* address = dlsym(handle_, name);
    if (!address) {
        const char* why = dlerror();
        error = "dlsym failed: " + std::string(why ? why : std::string(name) + " in " + path_);
    }
    return address;
}

}  // namespace wv
