// Tracking the loader's images into the table and "binary_images.qxrecord", through a real
// context in a temporary report folder and real shared objects.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dispatch/SerialQueue.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXContextInitialize.h"
#include "sdk/crash/context/QXFileReadSections.h"
#include "sdk/crash/images/QXBinaryImage.h"

namespace wv {
namespace {

std::string buildIDFromReadelf(const std::string& path) {
    std::string command = "readelf -n '" + path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "";
    char line[512];
    std::string id;
    while (fgets(line, sizeof line, pipe)) {
        std::string text = line;
        auto at = text.find("Build ID: ");
        if (at != std::string::npos) {
            id = text.substr(at + 10);
            while (!id.empty() && (id.back() == '\n' || id.back() == ' ')) id.pop_back();
        }
    }
    pclose(pipe);
    return id;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class ImageTracking : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qximages-XXXXXX").string();
        folder_ = mkdtemp(pattern.data());
        QXContextInstallers installers{};
        installers.binaryImages = QXBinaryImageInit;
        installers.recordExecutable = QXBinaryImageRecordMainImage;
        QXContextSetInstallers(installers);
        QXContextInitData data{};
        data.reportDirectory = folder_.c_str();
        ASSERT_TRUE(QXContextInitialize(&data));
        for (int i = 0; i < 5000 && !QXContextIsInitialized(); ++i) usleep(1000);
        ASSERT_TRUE(QXContextIsInitialized());
    }
    void TearDown() override {
        Loader::unregisterCallbacks();
        if (qxBinaryImagesQueue != nullptr) qxBinaryImagesQueue->drain();
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    std::vector<nlohmann::json> lines() {
        qxBinaryImagesQueue->drain();
        auto read = QXFileReadSections(folder_ / "binary_images.qxrecord", false);
        return read ? *read : std::vector<nlohmann::json>{};
    }
    std::string sdkLog() { return readFile(folder_ / "sdk.log"); }

    std::filesystem::path folder_;
};

TEST_F(ImageTracking, TheFirstLineIsTheExecutableLoadedBeforeTheKit) {
    auto all = lines();
    ASSERT_GE(all.size(), 2u);
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    ASSERT_TRUE(all[0].contains("load"));
    EXPECT_EQ(all[0]["load"]["path"], self);
    EXPECT_EQ(all[0]["load"]["uuid"], buildIDFromReadelf(self));
    EXPECT_EQ(all[0]["load"]["uuid"].get<std::string>().size(), 40u);
    QXBinaryImageNode node{};
    ASSERT_TRUE(QXBinaryImageSafeFindImageForAddress(
        reinterpret_cast<uintptr_t>(&buildIDFromReadelf), &node));
    EXPECT_EQ(node.baseAddress, all[0]["load"]["base"].get<uint64_t>());
    EXPECT_EQ(node.size, all[0]["load"]["size"].get<uint64_t>());
}

TEST_F(ImageTracking, OpenWritesLoadAndIsFoundCloseWritesUnloadAndIsNotFound) {
    const size_t before = lines().size();
    void* handle = dlopen(WV_TEST_IMAGE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    const auto address = reinterpret_cast<uintptr_t>(dlsym(handle, "wv_loader_test_image_answer"));
    auto all = lines();
    ASSERT_EQ(all.size(), before + 1);
    ASSERT_TRUE(all.back().contains("load")) << all.back().dump();
    const auto load = all.back()["load"];
    EXPECT_EQ(load["path"], WV_TEST_IMAGE);
    EXPECT_EQ(load["uuid"], buildIDFromReadelf(WV_TEST_IMAGE));
    QXBinaryImageNode node{};
    ASSERT_TRUE(QXBinaryImageSafeFindImageForAddress(address, &node));
    EXPECT_EQ(node.baseAddress, load["base"].get<uint64_t>());
    EXPECT_NE(node.unwindInfo, 0u);  // .eh_frame_hdr
    EXPECT_NE(node.ehFrame, 0u);
    EXPECT_EQ(node.crashInfo, 0u);

    ASSERT_EQ(dlclose(handle), 0);
    all = lines();
    ASSERT_EQ(all.size(), before + 2);
    ASSERT_TRUE(all.back().contains("unload"));
    EXPECT_EQ(all.back()["unload"]["path"], WV_TEST_IMAGE);
    EXPECT_EQ(all.back()["unload"]["base"], load["base"]);
    EXPECT_EQ(all.back()["unload"]["uuid"], load["uuid"]);
    EXPECT_FALSE(QXBinaryImageSafeFindImageForAddress(address, &node));
}

TEST_F(ImageTracking, AnUnloadEmptiesTheLiveSlotNotAnEarlierDeadOneAtTheSameBase) {
    void* first = dlopen(WV_TEST_IMAGE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(first, nullptr);
    const auto firstAddress =
        reinterpret_cast<uintptr_t>(dlsym(first, "wv_loader_test_image_answer"));
    dlclose(first);
    void* second = dlopen(WV_TEST_IMAGE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(second, nullptr);
    const auto address = reinterpret_cast<uintptr_t>(dlsym(second, "wv_loader_test_image_answer"));
    if (address != firstAddress) GTEST_SKIP() << "the loader chose another address";
    QXBinaryImageNode node{};
    ASSERT_TRUE(QXBinaryImageSafeFindImageForAddress(address, &node));
    dlclose(second);
    EXPECT_FALSE(QXBinaryImageSafeFindImageForAddress(address, &node));
    EXPECT_EQ(sdkLog().find("Unable to track a unloaded"), std::string::npos);
}

TEST_F(ImageTracking, AFullTableLogsTheLoadAndStillWritesIt) {
    for (auto& slot : qxWritableContext->binaryImages)
        if (slot.baseAddress == 0) slot = {0x1000, 0, 0, 0, 0};  // dead slots fill the rest
    const size_t before = lines().size();
    void* handle = dlopen(WV_TEST_IMAGE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    auto all = lines();
    ASSERT_EQ(all.size(), before + 1);
    EXPECT_EQ(all.back()["load"]["path"], WV_TEST_IMAGE);
    EXPECT_NE(sdkLog().find("Error: Unable to track a loaded node 0x"), std::string::npos);
    QXBinaryImageNode node{};
    EXPECT_FALSE(QXBinaryImageSafeFindImageForAddress(
        reinterpret_cast<uintptr_t>(dlsym(handle, "wv_loader_test_image_answer")), &node));
    dlclose(handle);
}

TEST_F(ImageTracking, AnImageWithoutBuildIDHasAnEmptyUUID) {
    void* handle = dlopen(WV_PLAIN_IMAGE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto all = lines();
    ASSERT_TRUE(all.back().contains("load"));
    EXPECT_EQ(all.back()["load"]["path"], WV_PLAIN_IMAGE);
    EXPECT_EQ(all.back()["load"]["uuid"], "");
    dlclose(handle);
}

TEST_F(ImageTracking, FindByUUIDAndTheExecutableMetadataLine) {
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string id = buildIDFromReadelf(self);
    QXBinaryImageDetails details;
    ASSERT_TRUE(QXBinaryImageFindImageForUUID(id.c_str(), &details));
    EXPECT_EQ(details.path, self);
    EXPECT_FALSE(QXBinaryImageFindImageForUUID(std::string(40, '0').c_str(), &details));
    EXPECT_FALSE(QXBinaryImageFindImageForUUID("", &details));
    EXPECT_FALSE(QXBinaryImageFindImageForUUID(nullptr, &details));

    auto metadata = QXFileReadSections(folder_ / "metadata.qxrecord", false);
    ASSERT_TRUE(metadata);
    ASSERT_EQ(metadata->size(), 4u);
    const auto& executable = metadata->back()["executable"];
    EXPECT_EQ(executable["architecture"], "x86_64");
    EXPECT_EQ(executable["uuid"], id);
    EXPECT_EQ(executable["encrypted"], false);
    EXPECT_EQ(executable["built_sdk_version"], "0.0.0");
    EXPECT_TRUE(executable["minimum_sdk_version"].is_string());
}

}  // namespace
}  // namespace wv
