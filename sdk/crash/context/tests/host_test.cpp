#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "CrashTestSupport.h"
#include "sdk/crash/context/QXFileReadSections.h"
#include "sdk/crash/context/QXHost.h"

namespace wv {
namespace {

TEST(QXHost, OSVersionCodeTable) {
    struct Case {
        int64_t minor;
        uint32_t code;
    };
    for (Case c : {Case{5, 0},
                   {6, 1060},
                   {7, 1070},
                   {8, 1080},
                   {9, 1090},
                   {10, 101000},
                   {11, 101100},
                   {12, 0},
                   {13, 0},
                   {0, 0},
                   {-1, 0}}) {
        EXPECT_EQ(QXHostOSVersionCodeForMinor(c.minor), c.code) << c.minor;
    }
}

TEST(QXHost, PageSizeAndMachineComeFromTheSystem) {
    EXPECT_EQ(QXHostGetPageSize(), uint64_t(sysconf(_SC_PAGESIZE)));
    utsname names{};
    uname(&names);
    EXPECT_EQ(QXHostMachine(), names.machine);
}

TEST(QXHost, CPUBrandIsTheModelNameLine) {
    test::TempFolder folder;
    struct Case {
        const char* cpuinfo;
        std::string brand;
    };
    const Case cases[] = {
        {"processor\t: 0\nvendor_id\t: Test\nmodel name\t: Example CPU @ 2.00GHz\n",
         "Example CPU @ 2.00GHz"},
        {"processor\t: 0\nCPU part\t: 0xd0c\n", "(failed)"},
        {"model name\t:\n", "(failed)"},
        {"", "(failed)"},
    };
    for (const auto& c : cases) {
        test::writeFile(folder / "cpuinfo", c.cpuinfo);
        EXPECT_EQ(QXHostCPUBrand((folder / "cpuinfo").string()), c.brand);
    }
    test::writeFile(folder / "cpuinfo", "model name\t: " + std::string(300, 'x') + "\n");
    EXPECT_EQ(QXHostCPUBrand((folder / "cpuinfo").string()).size(), 127u);
    EXPECT_EQ(QXHostCPUBrand((folder / "missing").string()), "(failed)");
}

TEST(QXHost, MetadataAndDiskUsageLines) {
    test::ScopedLogContext scope;
    auto path = scope.folder() / "m.qxrecord";
    QXFile file;
    ASSERT_TRUE(QXFileInitWithPath(&file, path.c_str(), false));
    EXPECT_TRUE(QXHostWriteMetadata(&file));
    QXHostWriteDiskUsage(&file);  // no folder known yet: empty
    std::string folder = scope.folder().path().string();
    scope.context().host.documentDirectory = folder.c_str();
    QXHostWriteDiskUsage(&file);
    ASSERT_TRUE(QXFileClose(&file));

    auto lines = QXFileReadSections(path, false);
    ASSERT_TRUE(lines);
    ASSERT_EQ(lines->size(), 3u);
    const auto& host = (*lines)[0]["host"];
    std::string text = test::readFile(path);
    size_t at = 0;
    for (const char* key : {"model", "machine", "cpu", "os_build_version", "os_display_version",
                            "platform", "locale"}) {
        size_t found = text.find(std::string("\"") + key + "\":", at);
        ASSERT_NE(found, std::string::npos) << key;
        at = found;
    }
    EXPECT_EQ(host["platform"], "mac");
    EXPECT_EQ(host["machine"], QXHostMachine());
    EXPECT_EQ((*lines)[1]["storage"], nlohmann::json::object());
    const auto& storage = (*lines)[2]["storage"];
    ASSERT_TRUE(storage.contains("free") && storage.contains("total"));
    EXPECT_GT(storage["total"].get<uint64_t>(), 0u);
    EXPECT_LE(storage["free"].get<uint64_t>(), storage["total"].get<uint64_t>());
}

}  // namespace
}  // namespace wv
