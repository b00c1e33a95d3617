#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "TestSupport.h"
#include "sdk/core/TRNApplicationIdentiferModel.h"
#include "sdk/core/TRNElf.h"
#include "sdk/core/TRNMachO.h"

namespace wv {
namespace {

std::string selfPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

// The test program's own identity against what binutils' readelf says of the same file.
TEST(ExecutableIdentity, TheRunningProgramIsItsBuildID) {
    const std::string notes =
        testing::commandOutput("readelf -n " + testing::shellQuoted(selfPath()));
    std::smatch match;
    ASSERT_TRUE(std::regex_search(notes, match, std::regex("Build ID: ([0-9a-f]+)"))) << notes;
    const std::string buildID = match[1];
    ASSERT_EQ(buildID.size(), 40u);  // --build-id=sha1

    auto model = TRNApplicationIdentiferModel::initWithInstallID("INSTALL");
    ASSERT_TRUE(model);
#if defined(__x86_64__)
    const std::string arch = "x86_64";
#elif defined(__aarch64__)
    const std::string arch = "arm64";
#endif
    EXPECT_EQ(model->architectureUUIDMap(), (std::map<std::string, std::string>{{arch, buildID}}));
    EXPECT_EQ(model->instanceIdentifier(), testing::toolDigest("sha1sum", buildID));
    EXPECT_EQ(model->installID(), "INSTALL");
    EXPECT_EQ(model->builtSDKString(), "0.0.0");

    std::string abi = "0.0.0";
    if (std::regex_search(notes, match, std::regex("ABI: ([0-9]+\\.[0-9]+\\.[0-9]+)"))) {
        abi = match[1];
    }
    EXPECT_EQ(model->minimumSDKString(), abi);
}

TEST(ExecutableIdentity, TheMainExecutableAsALoadedImage) {
    const TRNMachOSlice main = TRNMachOSliceForMainExecutable();
    ASSERT_NE(main.header, nullptr);
    EXPECT_TRUE(TRNElfIsImage(main.header, 16));
    EXPECT_TRUE(TRNMachOSliceIs64Bit(main));
    EXPECT_EQ(TRNMachOSliceImagePath(main), selfPath());
    // The call-frame section that PT_GNU_EH_FRAME leads to is the one the file's section
    // table names, moved by the load address.
    const uint8_t* ehFrame = nullptr;
    const uint8_t* unwindInfo = reinterpret_cast<const uint8_t*>(1);
    TRNMachOSliceGetUnwindSections(main, &ehFrame, &unwindInfo);
    EXPECT_EQ(unwindInfo, reinterpret_cast<const uint8_t*>(1));  // never written here
    ASSERT_NE(ehFrame, nullptr);
    const std::string sections =
        testing::commandOutput("readelf -SW " + testing::shellQuoted(selfPath()));
    std::smatch match;
    ASSERT_TRUE(
        std::regex_search(sections, match, std::regex(R"(\.eh_frame +PROGBITS +([0-9a-f]+))")));
    const uintptr_t address = std::stoull(match[1], nullptr, 16);
    // The header sits at the first loaded page: file offset 0 of the lowest PT_LOAD (vaddr 0
    // for a position-independent program).
    EXPECT_EQ(ehFrame, main.header + address);
    // A header that no loaded image has gives nothing.
    const uint8_t* none = nullptr;
    static const uint8_t notAnImage[32] = {};
    TRNMachOSliceGetUnwindSections(TRNMachOSliceWithHeader(notAnImage, 32), &none, nullptr);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(TRNMachOSliceImagePath(TRNMachOSliceWithHeader(notAnImage, 32)), std::nullopt);
}

TEST(ExecutableIdentity, UnreadableFilesGiveNoModel) {
    const auto dir = std::filesystem::temp_directory_path() / ("wv-id-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    testing::writeBytes(dir / "short", std::vector<uint8_t>(15, 0xcf));
    testing::writeBytes(dir / "sixteen", std::vector<uint8_t>(16, 0));
    const std::vector<std::pair<std::filesystem::path, bool>> cases = {
        {dir / "missing", false},
        {dir, false},
        {dir / "short", false},
        // Sixteen bytes of nothing map; they just hold no slice with a UUID.
        {dir / "sixteen", true},
    };
    for (const auto& [path, readable] : cases) {
        auto model = TRNApplicationIdentiferModel::initWithInstallID("X", path);
        EXPECT_EQ(model != nullptr, readable) << path;
        if (model) {
            EXPECT_TRUE(model->architectureUUIDMap().empty());
        }
        TRNMachOMappedFile file;
        file.fileDescriptor = 99;
        EXPECT_EQ(TRNMachOMappedFileInit(&file, path.c_str()), readable) << path;
        if (!readable) {
            EXPECT_EQ(file.fileDescriptor, -1) << path;
        }
        TRNMachOMappedFileDestroy(&file);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace wv
