#include <gtest/gtest.h>

#include "platform/foundation/NotificationCenter.h"
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

TEST(ProcessInfo, ActivitiesLiveFromBeginToTheFirstEndOfTheirToken) {
    ProcessInfo info;
    auto a = info.beginActivity(0xC000, "io.example.A");
    auto b = info.beginActivity(0xFF, "io.example.B");
    ASSERT_EQ(info.activities().size(), 2u);
    info.endActivity(a);
    info.endActivity(a);
    info.endActivity(nullptr);
    auto left = info.activities();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].reason, "io.example.B");
    EXPECT_EQ(left[0].options, 0xFFu);
    info.endActivity(b);
    EXPECT_TRUE(info.activities().empty());
}

TEST(ProcessInfo, ThermalStateIsNominalAndEveryChangeIsPostedOnce) {
    ProcessInfo info;
    EXPECT_EQ(info.thermalState(), ProcessInfo::ThermalState::Nominal);
    int posted = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        ProcessInfo::kThermalStateDidChangeNotification, &info,
        [&](const Notification&) { ++posted; });
    info.setThermalStateForTesting(ProcessInfo::ThermalState::Serious);
    info.setThermalStateForTesting(ProcessInfo::ThermalState::Serious);
    EXPECT_EQ(info.thermalState(), ProcessInfo::ThermalState::Serious);
    EXPECT_EQ(posted, 1);
    info.setThermalStateForTesting(ProcessInfo::ThermalState::Nominal);
    EXPECT_EQ(posted, 2);
    NotificationCenter::defaultCenter().removeObserver(token);
}

}  // namespace
}  // namespace wv
