#include <gtest/gtest.h>

#include <stdexcept>

#include "CrashTestSupport.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/ProcessInfo.h"
#include "sdk/crash/context/QXApplication.h"

namespace wv {
namespace {

const char* kPlistHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
    "<key>CFBundleIdentifier</key><string>com.example.host</string>";

TEST(QXApplication, ExtensionPointFromTheInfoPlist) {
    struct Case {
        const char* name;
        std::string entries;
        std::optional<std::string> point;
        const char* warning;
    };
    const Case cases[] = {
        {"no entry", "", std::nullopt, nullptr},
        {"not a dictionary", "<key>NSExtension</key><string>x</string>", std::nullopt,
         "Error: NSExtension Info.plist entry is mal-formed"},
        {"point missing", "<key>NSExtension</key><dict></dict>", std::nullopt,
         "Error: NSExtensionPointIdentifier Info.plist entry is mal-formed"},
        {"point not a string",
         "<key>NSExtension</key><dict><key>NSExtensionPointIdentifier</key><integer>3</integer></"
         "dict>",
         std::nullopt, "Error: NSExtensionPointIdentifier Info.plist entry is mal-formed"},
        {"an extension",
         "<key>NSExtension</key><dict><key>NSExtensionPointIdentifier</"
         "key><string>com.example.share</string></dict>",
         std::string("com.example.share"), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScopedLogContext scope;
        test::writeFile(scope.folder() / "Info.plist",
                        kPlistHead + c.entries + "</dict></plist>\n");
        ScopedMainBundle bundle(scope.folder().path());
        EXPECT_EQ(QXApplicationExtensionPointIdentifier(), c.point);
        EXPECT_EQ(QXApplicationIsExtension(), c.point.has_value());
        if (c.warning) {
            EXPECT_NE(scope.log().find(c.warning), std::string::npos) << scope.log();
        } else {
            EXPECT_EQ(scope.log(), "");
        }
    }
}

TEST(QXApplication, SharedApplicationOnlyWhenTheClassIsLinked) {
    EXPECT_FALSE(QXApplicationSharedApplication().has_value());
    ScopedClassRegistration linked("NSApplication",
                                   std::function<std::any()>([] { return std::any(42); }));
    std::any shared = QXApplicationSharedApplication();
    ASSERT_TRUE(shared.has_value());
    EXPECT_EQ(std::any_cast<int>(shared), 42);
}

TEST(QXApplication, ActivitiesDisableExactlyTheKindsNamed) {
    ProcessInfo& process = ProcessInfo::shared();
    struct Case {
        uint64_t options;
        int sudden;
        int automatic;
    };
    for (Case c : {Case{0, 0, 0}, {0x4000, 1, 0}, {0x8000, 0, 1}, {0xC000, 1, 1}, {0x00FF, 0, 0}}) {
        int sudden = process.suddenTerminationDisabledCount();
        int automatic = process.automaticTerminationDisabledCount();
        auto token = QXApplicationBeginActivity(c.options, "Quellix Crash Report Processing");
        ASSERT_TRUE(token);
        EXPECT_EQ(token->options, c.options);
        EXPECT_EQ(process.suddenTerminationDisabledCount() - sudden, c.sudden) << c.options;
        EXPECT_EQ(process.automaticTerminationDisabledCount() - automatic, c.automatic)
            << c.options;
        QXApplicationEndActivity(token);
        EXPECT_EQ(process.suddenTerminationDisabledCount(), sudden);
        EXPECT_EQ(process.automaticTerminationDisabledCount(), automatic);
    }
    QXApplicationEndActivity(std::nullopt);

    int during = -1;
    EXPECT_THROW(QXApplicationActivity(0xC000, "r",
                                       [&] {
                                           during = process.automaticTerminationDisabledCount();
                                           throw std::runtime_error("stop");
                                       }),
                 std::runtime_error);
    EXPECT_EQ(during, 1);
    EXPECT_EQ(process.automaticTerminationDisabledCount(), 0);
}

TEST(QXApplication, ProfilingMarksUseTheTimebase) {
    uint64_t ticks = 1000;
    QXProfilingSetTimebase({[&] { return ticks; }, 125, 3});
    QXProfileMark mark = QXProfilingStart();
    EXPECT_EQ(mark, 1000u);
    ticks += 3000000;  // 125,000,000 ns
    EXPECT_DOUBLE_EQ(QXProfilingEndInMillis(mark), 125.0);
    ticks = mark + 7;  // 291.66 ns, truncated to 291 in integers
    EXPECT_DOUBLE_EQ(QXProfilingEndInMillis(mark), 291 / 1e6);
    QXProfilingSetTimebase({[&] { return ticks; }, 1, 0});
    EXPECT_EQ(QXProfilingEndInMillis(0), 0.0);
    QXProfilingSetTimebase({});
    QXProfileMark real = QXProfilingStart();
    double elapsed = QXProfilingEndInMillis(real);
    EXPECT_GE(elapsed, 0.0);
    EXPECT_LT(elapsed, 1000.0);
}

}  // namespace
}  // namespace wv
