#include <gtest/gtest.h>

#include "platform/foundation/ProcessInfo.h"

namespace wv {
namespace {

TEST(ProcessInfo, CountersNestAndNeverGoBelowZero) {
    ProcessInfo info;
    info.disableSuddenTermination();
    info.disableSuddenTermination();
    info.enableSuddenTermination();
    EXPECT_FALSE(info.suddenTerminationAllowed());
    info.enableSuddenTermination();
    EXPECT_TRUE(info.suddenTerminationAllowed());
    info.enableSuddenTermination();
    info.disableSuddenTermination();
    EXPECT_EQ(info.suddenTerminationDisabledCount(), 1);

    info.disableAutomaticTermination("work");
    EXPECT_FALSE(info.automaticTerminationAllowed());
    info.enableAutomaticTermination("work");
    info.enableAutomaticTermination("work");
    EXPECT_EQ(info.automaticTerminationDisabledCount(), 0);
    EXPECT_EQ(info.suddenTerminationDisabledCount(), 1);
}

}  // namespace
}  // namespace wv
