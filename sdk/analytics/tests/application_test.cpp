#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "sdk/analytics/PLRApplication.h"

namespace wv {
namespace {

TEST(Application, ReadsTheInfoDictionary) {
    plist::Dictionary info;
    info.set("CFBundleIdentifier", "com.example.app");
    info.set("CFBundleVersion", "412");
    info.set("CFBundleShortVersionString", int64_t(2));
    PLRApplication app(info);
    EXPECT_EQ(app.bundleIdentifier(), "com.example.app");
    EXPECT_EQ(app.bundleVersion(), "412");
    EXPECT_EQ(app.shortVersionString(), std::nullopt) << "a number is no version string";
    EXPECT_FALSE(app.isExtension());
}

TEST(Application, ExtensionsAreToldByTheirExtensionPoint) {
    struct Case {
        const char* name;
        std::optional<plist::Value> extension;
        bool isExtension;
        const char* message;
    };
    plist::Dictionary good;
    good.set("NSExtensionPointIdentifier", "com.apple.widget");
    plist::Dictionary noPoint;
    noPoint.set("Other", "x");
    plist::Dictionary badPoint;
    badPoint.set("NSExtensionPointIdentifier", int64_t(3));
    const std::vector<Case> cases = {
        {"none", std::nullopt, false, nullptr},
        {"extension", plist::Value(good), true, nullptr},
        {"not a dictionary", plist::Value("widget"), false,
         "Error: NSExtension Info.plist entry is mal-formed"},
        {"no point", plist::Value(noPoint), false,
         "Error: NSExtensionPointIdentifier Info.plist entry is mal-formed\n"},
        {"point not a string", plist::Value(badPoint), false,
         "Error: NSExtensionPointIdentifier Info.plist entry is mal-formed\n"},
    };
    for (const auto& c : cases) {
        plist::Dictionary info;
        if (c.extension) info.set("NSExtension", *c.extension);
        LogCapture log;
        PLRApplication app(info);
        EXPECT_EQ(app.isExtension(), c.isExtension) << c.name;
        EXPECT_EQ(app.appSharedInstance().has_value(), false) << c.name;
        const auto lines = log.lines(LogChannel::System);
        if (c.message) {
            ASSERT_FALSE(lines.empty()) << c.name;
            EXPECT_EQ(lines[0].rfind(c.message, 0), 0u) << c.name << ": " << lines[0];
        } else {
            EXPECT_TRUE(lines.empty()) << c.name;
        }
    }
}

}  // namespace
}  // namespace wv
