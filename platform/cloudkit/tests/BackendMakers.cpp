#include "platform/cloudkit/tests/BackendMakers.h"

#include "platform/cloudkit/FolderBackend.h"

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
    return {folder};
}

}  // namespace wv::ck::testing
