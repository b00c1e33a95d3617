#include <gtest/gtest.h>

#include "TarnelFixtures.h"
#include "sdk/core/TRNAppIconUtility.h"
#include "sdk/core/TRNApplication.h"
#include "sdk/core/TRNIcon.h"

namespace wv {
namespace {

using testing::dict;
using testing::FixtureBundle;

TEST(Application, IdentifierWithSlashesEscaped) {
    const std::vector<std::pair<std::optional<std::string>, std::optional<std::string>>> cases = {
        {"com.example.app", "com.example.app"},
        {"com/example/app", "com_example_app"},
        {"/", "_"},
        {std::nullopt, std::nullopt},
    };
    for (const auto& [identifier, escaped] : cases) {
        FixtureBundle bundle("id", identifier ? dict({{"CFBundleIdentifier", *identifier}})
                                              : dict({{"CFBundleName", "x"}}));
        EXPECT_EQ(TRNApplicationBundleIdentifier(), escaped);
    }
}

TEST(Application, NameFallsBackToTheBuildVersion) {
    struct Case {
        plist::Dictionary info;
        std::optional<std::string> name;
    };
    const std::vector<Case> cases = {
        {dict({{"CFBundleDisplayName", "Shown"},
               {"CFBundleName", "Named"},
               {"CFBundleVersion", "7"}}),
         "Shown"},
        {dict({{"CFBundleName", "Named"}, {"CFBundleVersion", "7"}}), "Named"},
        {dict({{"CFBundleVersion", "7"}, {"CFBundleShortVersionString", "1.2"}}), "7"},
        {dict({{"CFBundleDisplayName", 3}, {"CFBundleVersion", "7"}}), "7"},
        {dict({}), std::nullopt},
    };
    for (const auto& c : cases) {
        FixtureBundle bundle("name", c.info);
        EXPECT_EQ(TRNApplicationName(), c.name);
    }
    FixtureBundle bundle("versions", cases[2].info);
    EXPECT_EQ(TRNApplicationBuildVersion(), "7");
    EXPECT_EQ(TRNApplicationDisplayVersion(), "1.2");
}

TEST(Application, InstallSourceWithoutAStoreReceipt) {
    const std::vector<std::pair<std::optional<plist::Value>, int>> cases = {
        {std::nullopt, 1},
        {plist::Value(true), 3},
        {plist::Value(false), 1},
        {plist::Value("YES"), 3},
        {plist::Value("no"), 1},
        {plist::Value(int64_t(1)), 3},
        {plist::Value(plist::Array{}), 1},
    };
    for (const auto& [signedFlag, source] : cases) {
        FixtureBundle bundle("source", signedFlag
                                           ? dict({{"QuellixSignedForDistribution", *signedFlag}})
                                           : dict({}));
        EXPECT_FALSE(TRNAppStoreReceiptExists());
        EXPECT_EQ(TRNApplicationInstallSource(), source);
    }
}

TEST(Application, DeviceIdentifierSwitch) {
    struct Case {
        const char* name;
        plist::Dictionary info;
        bool orvelle;
        bool collect;
    };
    const std::vector<Case> cases = {
        {"neither key", dict({}), false, true},
        {"the Tarnel key wins",
         dict({{"Tarnel", dict({{"ReportIdentifiers", false}})},
               {"QuellixCollectDeviceIdentifiers", true}}),
         false, false},
        {"the Tarnel key alone", dict({{"Tarnel", dict({{"ReportIdentifiers", true}})}}), false,
         true},
        {"the older key", dict({{"Tarnel", dict({})}, {"QuellixCollectDeviceIdentifiers", false}}),
         false, false},
        {"Orvelle mode", dict({{"Tarnel", dict({{"ReportIdentifiers", true}})}}), true, false},
    };
    for (const auto& c : cases) {
        FixtureBundle bundle("ids", c.info);
        EXPECT_EQ(TRNShouldCollectDeviceIdentifiersInMode(c.orvelle), c.collect) << c.name;
    }
}

std::vector<uint8_t> png(uint32_t width, uint32_t height) {
    std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    auto chunk = [&](const char* type, std::vector<uint8_t> data) {
        const uint32_t n = uint32_t(data.size());
        for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(n >> s));
        b.insert(b.end(), type, type + 4);
        b.insert(b.end(), data.begin(), data.end());
        b.insert(b.end(), 4, 0);  // the CRC is not checked
    };
    std::vector<uint8_t> header;
    for (uint32_t v : {width, height}) {
        for (int s = 24; s >= 0; s -= 8) header.push_back(uint8_t(v >> s));
    }
    header.insert(header.end(), {8, 6, 0, 0, 0});
    chunk("IHDR", header);
    chunk("IDAT", std::vector<uint8_t>(10, 0));
    chunk("IEND", {});
    return b;
}

TEST(ApplicationIcon, ThePNGTheInfoPlistNames) {
    const auto whole = png(1024, 512);
    auto truncated = whole;
    truncated.resize(whole.size() - 6);
    struct Case {
        const char* name;
        std::optional<std::string> iconKey;
        std::string file;
        std::vector<uint8_t> bytes;
        bool found;
    };
    const std::vector<Case> cases = {
        {"named without extension", "AppIcon", "AppIcon.png", whole, true},
        {"named with extension", "AppIcon.png", "AppIcon.png", whole, true},
        {"no key", std::nullopt, "AppIcon.png", whole, false},
        {"no file", "Missing", "AppIcon.png", whole, false},
        {"truncated", "AppIcon", "AppIcon.png", truncated, false},
        {"not a PNG", "AppIcon", "AppIcon.png", std::vector<uint8_t>(64, 'x'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureBundle bundle("icon",
                             c.iconKey ? dict({{"CFBundleIconFile", *c.iconKey}}) : dict({}));
        testing::writeBytes(bundle.root() / c.file, c.bytes);
        TRNAppIconUtility utility;
        auto icon = utility.applicationIcon();
        ASSERT_EQ(icon != nullptr, c.found);
        if (!icon) continue;
        EXPECT_EQ(icon->data(), whole);
        EXPECT_EQ(icon->dataHash(),
                  testing::toolDigest("sha1sum", std::string(whole.begin(), whole.end())));
        EXPECT_EQ(icon->size().width, 1024);
        EXPECT_EQ(icon->size().height, 512);
        EXPECT_TRUE(icon->prerendered());
        EXPECT_TRUE(icon->isWithinMaxSurfaceArea());
        EXPECT_TRUE(icon->largerThanSize({512, 512}));
        EXPECT_FALSE(icon->largerThanSize({1024, 512}));
    }
    EXPECT_FALSE(TRNIcon(png(1025, 1024), {1025, 1024}).isWithinMaxSurfaceArea());
}

}  // namespace
}  // namespace wv
