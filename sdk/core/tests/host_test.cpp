#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <fstream>

#include "TestSupport.h"
#include "sdk/core/TRNHost.h"

namespace wv {
namespace {

TEST(Host, VersionFromAReleaseString) {
    const std::vector<std::tuple<std::string, int64_t, int64_t, int64_t>> cases = {
        {"6.1.0-18-amd64", 6, 1, 0},
        {"5.10.209", 5, 10, 209},
        {"4.19", 4, 19, 0},
        {"6", 6, 0, 0},
        {"", 0, 0, 0},
        {"abc", 0, 0, 0},
        {"6.1.0.7", 6, 1, 0},
        {"3.x.5", 3, 0, 0},
        {"10.13.2", 10, 13, 2},
    };
    for (const auto& [release, major, minor, patch] : cases) {
        const auto v = TRNOperatingSystemVersionFromRelease(release);
        EXPECT_EQ(v.major, major) << release;
        EXPECT_EQ(v.minor, minor) << release;
        EXPECT_EQ(v.patch, patch) << release;
    }
}

TEST(Host, CodeFollowsTheMinorVersionAlone) {
    const std::vector<std::pair<int64_t, uint32_t>> cases = {
        {5, 0},       {6, 1060},    {7, 1070},    {8, 1080}, {9, 1090}, {10, 101000},
        {11, 101100}, {12, 101200}, {13, 101300}, {14, 0},   {-1, 0},
    };
    for (const auto& [minor, code] : cases) {
        EXPECT_EQ(TRNOperatingSystemVersionCodeForMinor(minor), code) << minor;
    }
}

TEST(Host, FactsOfThisMachine) {
    struct utsname host;
    ASSERT_EQ(uname(&host), 0);
    const auto v = TRNOperatingSystemVersionFromRelease(host.release);
    EXPECT_EQ(TRNHostOSDisplayVersion(), std::to_string(v.major) + "." + std::to_string(v.minor) +
                                             "." + std::to_string(v.patch));
    EXPECT_EQ(TRNHostOperatingSystemVersionCode(), TRNOperatingSystemVersionCodeForMinor(v.minor));

    std::string version;
    std::getline(std::ifstream("/proc/sys/kernel/version"), version);
    if (version.size() < 128) {
        EXPECT_EQ(TRNHostOSBuildVersion(), version);
    } else {
        EXPECT_EQ(TRNHostOSBuildVersion(), std::nullopt);
    }
    std::string product;
    std::getline(std::ifstream("/sys/class/dmi/id/product_name"), product);
    EXPECT_EQ(TRNHostModel(), product.empty() ? std::string(host.machine) : product);
    EXPECT_EQ(TRNHostSysctlString("kern.nothing"), std::nullopt);
}

}  // namespace
}  // namespace wv
