#include <gtest/gtest.h>

#include "CrashTestSupport.h"
#include "sdk/crash/context/QXProcess.h"

namespace wv {
namespace {

TEST(QXProcessDebuggerAttached, ReadsTheTracerFromTheStatus) {
    test::ScopedLogContext scope;
    struct Case {
        const char* status;
        bool attached;
    };
    const Case cases[] = {
        {"Name:\tx\nState:\tR\nTracerPid:\t0\nUid:\t0\n", false},
        {"Name:\tx\nTracerPid:\t4242\n", true},
        {"TracerPid:  10\n", true},
        {"Name:\tx\n", false},
    };
    auto path = scope.folder() / "status";
    for (const auto& c : cases) {
        test::writeFile(path, c.status);
        EXPECT_EQ(QXProcessDebuggerAttachedFromStatus(path.string()), c.attached) << c.status;
    }
    EXPECT_FALSE(QXProcessDebuggerAttachedFromStatus((scope.folder() / "none").string()));
    EXPECT_NE(scope.log().find("WARN  [QXProcessDebuggerAttachedFromStatus:"), std::string::npos)
        << scope.log();
    EXPECT_FALSE(QXProcessDebuggerAttached());  // the tests run without a debugger
}

}  // namespace
}  // namespace wv
