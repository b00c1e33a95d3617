#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/cloudkit/Backend.h"

namespace wv::ck {

// Where one installation's cloud lives. Read from the environment ("WOVANU_CLOUD_FOLDER",
// "WOVANU_CLOUD_SERVER", "WOVANU_CLOUD_ACCOUNT"), else from "cloud.plist" in the
// installation's application-support folder ("Folder", "Server", "Account"). Without a folder
// or server the installation has no account and the cloud touches neither disk nor network.
struct CloudConfiguration {
    static constexpr const char* kDefaultContainerIdentifier = "iCloud.com.wovanu.typing";
    static constexpr const char* kFileName = "cloud.plist";

    std::filesystem::path supportFolder;  // the installation's own files live here
    std::string containerIdentifier = kDefaultContainerIdentifier;
    std::optional<std::filesystem::path> folder;
    std::optional<std::string> server;
    std::string account;  // the login name unless one is given

    bool configured() const { return folder.has_value() || server.has_value(); }

    // The environment first, then the file; the account defaults to the login name.
    static CloudConfiguration load(const std::filesystem::path& supportFolder,
                                   std::string containerIdentifier = kDefaultContainerIdentifier);
    // The program's own: the application-support folder of the bundle identifier.
    static CloudConfiguration standard();

    // The one place a backend is chosen. Unconfigured: none. A server (the next backend) is
    // preferred over a folder when both are given.
    std::unique_ptr<Backend> makeBackend() const;
};

}  // namespace wv::ck
