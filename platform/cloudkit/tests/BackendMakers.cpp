#include "platform/cloudkit/tests/BackendMakers.h"

#include "platform/cloudkit/FolderBackend.h"
#include "platform/cloudkit/postgres/PgBackend.h"
#include "platform/cloudkit/testing/PgTestCluster.h"

namespace wv::ck::testing {

std::vector<BackendMaker> backendMakers() {
    BackendMaker folder;
    folder.name = "Folder";
    folder.freshStore = [](const std::filesystem::path& scratch) {
        return FolderBackend::fileInFolder(scratch / "cloud", "iCloud.test.container").string();
    };
    folder.connect = [](const std::string& store) -> std::unique_ptr<Backend> {
        return std::make_unique<FolderBackend>(store, "iCloud.test.container");
    };
    folder.configure = [](CloudConfiguration& configuration, const std::string& store) {
        configuration.folder = std::filesystem::path(store).parent_path();
        configuration.containerIdentifier = "iCloud.test.container";
    };

    BackendMaker server;
    server.name = "PostgreSQL";
    // The store is a fresh database of the run's cluster, named by its connection string.
    server.freshStore = [](const std::filesystem::path&) {
        return PgTestCluster::shared().freshDatabase();
    };
    server.connect = [](const std::string& store) -> std::unique_ptr<Backend> {
        return std::make_unique<PgBackend>(store, "iCloud.test.container");
    };
    server.configure = [](CloudConfiguration& configuration, const std::string& store) {
        configuration.server = store;
        configuration.containerIdentifier = "iCloud.test.container";
    };
    return {folder, server};
}

}  // namespace wv::ck::testing
