#include "platform/cloudkit/CloudConfiguration.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "platform/cloudkit/FolderBackend.h"
#include "platform/cloudkit/ServerBackend.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "platform/plist/Value.h"

namespace wv::ck {

namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value && *value) return std::string(value);
    return std::nullopt;
}

std::string loginName() {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name && *pw->pw_name) {
        return pw->pw_name;
    }
    if (auto user = environment("USER")) return *user;
    return "user";
}

std::optional<std::string> fileString(const plist::Dictionary* dict, const char* key) {
    const plist::Value* value = dict ? dict->find(key) : nullptr;
    if (value && value->is<std::string>() && !value->get<std::string>()->empty()) {
        return *value->get<std::string>();
    }
    return std::nullopt;
}

}  // namespace

CloudConfiguration CloudConfiguration::load(const std::filesystem::path& supportFolder,
                                            std::string containerIdentifier) {
    CloudConfiguration config;
    config.supportFolder = supportFolder;
    config.containerIdentifier = std::move(containerIdentifier);

    std::optional<plist::Value> file;
    const auto path = supportFolder / kFileName;
    std::error_code ec;
    // Looked at before it is opened: an unconfigured program opens no cloud file at all.
    if (std::filesystem::is_regular_file(path, ec)) file = plist::readFile(path);
    const plist::Dictionary* dict = file ? file->get<plist::Dictionary>() : nullptr;
    if (file && !dict) Log::print("cloud.plist is not a dictionary: " + path.string());

    auto folder = environment("WOVANU_CLOUD_FOLDER");
    if (!folder) folder = fileString(dict, "Folder");
    if (folder) config.folder = std::filesystem::path(*folder);
    config.server = environment("WOVANU_CLOUD_SERVER");
    if (!config.server) config.server = fileString(dict, "Server");
    auto account = environment("WOVANU_CLOUD_ACCOUNT");
    if (!account) account = fileString(dict, "Account");
    // The login name is looked up only for a cloud that will use it: the lookup may ask the
    // system's name service over a socket.
    if (account) {
        config.account = *account;
    } else if (config.configured()) {
        config.account = loginName();
    }
    return config;
}

CloudConfiguration CloudConfiguration::standard() {
    return load(Folders::dataHome() / Bundle::main().identifier());
}

std::unique_ptr<Backend> CloudConfiguration::makeBackend() const {
    if (server) return makeServerBackend(*server, containerIdentifier);
    if (folder) {
        return std::make_unique<FolderBackend>(
            FolderBackend::fileInFolder(*folder, containerIdentifier), containerIdentifier);
    }
    return nullptr;
}

}  // namespace wv::ck
