#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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

TEST(ProcessInfo, WaitingForSuddenTerminationEndsWhenTheLastHoldIsReleased) {
    ProcessInfo info;
    EXPECT_TRUE(info.waitUntilSuddenTerminationAllowed(std::chrono::milliseconds(0)));
    info.disableSuddenTermination();
    info.disableSuddenTermination();
    std::atomic<int> released{0};
    std::thread worker([&] {
        info.enableSuddenTermination();
        ++released;
        info.enableSuddenTermination();
        ++released;
    });
    EXPECT_TRUE(info.waitUntilSuddenTerminationAllowed(std::chrono::seconds(30)));
    worker.join();
    EXPECT_EQ(info.suddenTerminationDisabledCount(), 0);
    EXPECT_GE(released.load(), 1);
}

TEST(ProcessInfo, WaitingForSuddenTerminationGivesUpAfterItsTimeout) {
    ProcessInfo info;
    info.disableSuddenTermination();
    // Automatic termination and activities without the sudden bit hold nothing off.
    info.disableAutomaticTermination("work");
    auto activity = info.beginActivity(ProcessInfo::kActivityBackground, "io.example.C");
    EXPECT_FALSE(info.waitUntilSuddenTerminationAllowed(std::chrono::milliseconds(20)));
    info.enableSuddenTermination();
    EXPECT_TRUE(info.waitUntilSuddenTerminationAllowed(std::chrono::milliseconds(0)));
    info.endActivity(activity);
}

}  // namespace
}  // namespace wv
