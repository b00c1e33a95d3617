#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "platform/plist/BundleInfo.h"

namespace wv {
namespace {

std::filesystem::path makeBundle(const std::string& name, const std::string* infoPlist) {
    auto root = Folders::dataHome() / "bundles" / name;
    std::filesystem::create_directories(root);
    if (infoPlist) std::ofstream(root / "Info.plist") << *infoPlist;
    return root;
}

const std::string kInfo = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>com.example/app</string>
<key>CFBundleExecutable</key><string>example-app</string>
<key>Count</key><integer>3</integer>
</dict></plist>)";

TEST(BundleInfo, ReadsTheInformationDictionary) {
    ScopedMainBundle main(makeBundle("good", &kInfo));
    auto info = BundleInfo::main();
    ASSERT_TRUE(info->infoDictionary());
    EXPECT_EQ(info->identifier(), "com.example/app");
    EXPECT_EQ(info->stringForKey("Count"), std::nullopt);
    ASSERT_NE(info->objectForInfoDictionaryKey("Count"), nullptr);
    EXPECT_EQ(*info->objectForInfoDictionaryKey("Count")->get<int64_t>(), 3);
    // The main bundle's executable is the running program; another bundle's sits beside it.
    EXPECT_EQ(info->executablePath()->filename(), "wv_platform_plist_tests");
    BundleInfo other((Bundle(main.bundle().root())));
    EXPECT_EQ(*other.executablePath(), main.bundle().root().parent_path() / "example-app");
    EXPECT_EQ(BundleInfo::main(), info);  // read once per main bundle
}

TEST(BundleInfo, BrokenOrMissingFilesGiveNoDictionary) {
    const std::string malformed = "<plist><dict><key>A</key>";
    const std::string notADictionary =
        R"(<?xml version="1.0"?><plist version="1.0"><array><string>x</string></array></plist>)";
    const std::vector<std::pair<std::string, const std::string*>> cases = {
        {"missing", nullptr}, {"malformed", &malformed}, {"array", &notADictionary}};
    LogCapture log;
    for (const auto& [name, text] : cases) {
        ScopedMainBundle main(makeBundle(name, text));
        auto info = BundleInfo::main();
        EXPECT_FALSE(info->infoDictionary()) << name;
        EXPECT_EQ(info->identifier(), std::nullopt) << name;
        EXPECT_EQ(info->objectForInfoDictionaryKey("CFBundleIdentifier"), nullptr) << name;
    }
}

}  // namespace
}  // namespace wv
