#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>

#include "platform/cloudkit/CloudConfiguration.h"
#include "platform/cloudkit/FolderBackend.h"

namespace wv::ck {
namespace {

// Sets the three variables for the life of the object, restoring the environment after.
class Environment {
  public:
    Environment(const char* folder, const char* server, const char* account) {
        set("WOVANU_CLOUD_FOLDER", folder);
        set("WOVANU_CLOUD_SERVER", server);
        set("WOVANU_CLOUD_ACCOUNT", account);
    }
    ~Environment() {
        unsetenv("WOVANU_CLOUD_FOLDER");
        unsetenv("WOVANU_CLOUD_SERVER");
        unsetenv("WOVANU_CLOUD_ACCOUNT");
    }

  private:
    static void set(const char* name, const char* value) {
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
};

TEST(CloudConfigurationTest, TheEnvironmentComesBeforeTheFile) {
    const auto support = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / "configuration";
    std::filesystem::create_directories(support);
    struct Case {
        const char* what;
        const char* envFolder;
        const char* envServer;
        const char* envAccount;
        bool file;  // "cloud.plist" with Folder "/file/folder" and Account "filed"
        std::optional<std::string> folder;
        bool server;
        std::string account;  // "*" for the login name
        bool backend;
    };
    const Case cases[] = {
        {"nothing", nullptr, nullptr, nullptr, false, std::nullopt, false, "", false},
        {"the environment", "/env/folder", nullptr, "envied", false, "/env/folder", false, "envied",
         true},
        {"the file", nullptr, nullptr, nullptr, true, "/file/folder", false, "filed", true},
        {"both", "/env/folder", nullptr, nullptr, true, "/env/folder", false, "filed", true},
        {"a folder without an account", "/env/folder", nullptr, nullptr, false, "/env/folder",
         false, "*", true},
        {"a server", nullptr, "host=db", "a", false, std::nullopt, true, "a", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(support / "cloud.plist");
        if (c.file) {
            plist::Dictionary d;
            d.set("Folder", plist::Value("/file/folder"));
            d.set("Account", plist::Value("filed"));
            ASSERT_TRUE(plist::writeFile(support / "cloud.plist", plist::Value(d)));
        }
        Environment env(c.envFolder, c.envServer, c.envAccount);
        const CloudConfiguration config = CloudConfiguration::load(support);
        EXPECT_EQ(config.folder ? std::optional(config.folder->string()) : std::nullopt, c.folder);
        EXPECT_EQ(config.server.has_value(), c.server);
        if (c.account == "*") {
            EXPECT_FALSE(config.account.empty());
        } else {
            EXPECT_EQ(config.account, c.account);
        }
        EXPECT_EQ(config.configured(), c.folder.has_value() || c.server);
        const auto backend = config.makeBackend();
        EXPECT_EQ(backend != nullptr, c.backend);
        if (backend) {
            EXPECT_EQ(
                backend->location(),
                "folder " +
                    FolderBackend::fileInFolder(*c.folder, config.containerIdentifier).string());
        }
    }
}

TEST(CloudConfigurationTest, AFileThatIsNotADictionaryConfiguresNothing) {
    const auto support = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / "bad-configuration";
    std::filesystem::create_directories(support);
    ASSERT_TRUE(plist::writeFile(support / "cloud.plist", plist::Value("Folder")));
    Environment env(nullptr, nullptr, nullptr);
    EXPECT_FALSE(CloudConfiguration::load(support).configured());
}

}  // namespace
}  // namespace wv::ck
