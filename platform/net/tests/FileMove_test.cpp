#include "platform/net/FileMove.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace wv::net {
namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(FileMove, ReplacesTheTargetWithinAndAcrossFileSystems) {
    const fs::path here = fs::temp_directory_path() / "wv-move-src";
    std::vector<fs::path> targets = {fs::temp_directory_path() / "wv-move-dst"};
    struct stat a {
    }, b{};
    // /dev/shm is a file system of its own on Linux: a rename there fails with EXDEV.
    if (::stat("/dev/shm", &b) == 0 && ::stat(fs::temp_directory_path().c_str(), &a) == 0 &&
        a.st_dev != b.st_dev)
        targets.push_back("/dev/shm/wv-move-dst");
    for (const auto& target : targets) {
        std::ofstream(here) << "new content";
        std::ofstream(target) << "old";
        std::error_code error;
        ASSERT_TRUE(moveFile(here, target, error)) << target << ": " << error.message();
        EXPECT_EQ(read(target), "new content");
        EXPECT_FALSE(fs::exists(here));
        EXPECT_FALSE(fs::exists(target.string() + ".moving"));
        fs::remove(target);
    }
}

TEST(FileMove, AMissingSourceOrFolderFailsAndLeavesTheTargetAlone) {
    const fs::path target = fs::temp_directory_path() / "wv-move-keep";
    std::ofstream(target) << "keep";
    std::error_code error;
    EXPECT_FALSE(moveFile("/nonexistent/source", target, error));
    EXPECT_TRUE(error);
    EXPECT_EQ(read(target), "keep");
    EXPECT_FALSE(moveFile(target, "/nonexistent/folder/file", error));
    EXPECT_EQ(read(target), "keep");
    fs::remove(target);
}

}  // namespace
}  // namespace wv::net
