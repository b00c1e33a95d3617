#include <gtest/gtest.h>

#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/ProcessInfo.h"
#include "sdk/analytics/PLRActivity.h"
#include "sdk/analytics/PLRActivityOperation.h"

namespace wv {
namespace {

struct Counts {
    int sudden;
    int automatic;
    size_t activities;
    bool operator==(const Counts&) const = default;
};

Counts now() {
    auto& p = ProcessInfo::shared();
    return {p.suddenTerminationDisabledCount(), p.automaticTerminationDisabledCount(),
            p.activities().size()};
}

std::ostream& operator<<(std::ostream& os, const Counts& c) {
    return os << "{sudden " << c.sudden << ", automatic " << c.automatic << ", activities "
              << c.activities << "}";
}

TEST(Activity, DeclarationsFollowTheOptionsAndAreUndoneExactlyOnce) {
    struct Case {
        const char* name;
        uint64_t options;
        Counts during;
    };
    const std::vector<Case> cases = {
        {"io.plurio.RecordEvent", 0xC000, {1, 1, 1}},
        {"io.plurio.RotateAndSubmit", 0xC0FF, {1, 1, 1}},
        {"sudden only", 0x4000, {1, 0, 1}},
        {"automatic only", 0x8000, {0, 1, 1}},
        {"background only", 0xFF, {0, 0, 1}},
    };
    for (const auto& c : cases) {
        const Counts before = now();
        auto activity = PLRActivity::beginActivity(c.name, c.options);
        EXPECT_EQ(activity->reason(), c.name);
        EXPECT_EQ(activity->backgroundTaskIdentifier(), 0u);
        const Counts during = now();
        EXPECT_EQ((Counts{during.sudden - before.sudden, during.automatic - before.automatic,
                          during.activities - before.activities}),
                  c.during)
            << c.name;
        activity->end();
        activity->end();
        EXPECT_FALSE(activity->isActive());
        activity.reset();
        EXPECT_EQ(now(), before) << c.name;
    }
}

TEST(Activity, DestructionEndsAnActivityNobodyEnded) {
    const Counts before = now();
    { auto activity = PLRActivity::beginActivity("io.plurio.RecordCrashEvent", 0xC000); }
    EXPECT_EQ(now(), before);
}

TEST(Activity, PerformActivityHoldsItOnlyAroundTheBlock) {
    const Counts before = now();
    Counts inside{};
    PLRActivity::performActivity("work", 0xC000, [&] { inside = now(); });
    EXPECT_EQ(inside.sudden, before.sudden + 1);
    EXPECT_EQ(inside.activities, before.activities + 1);
    EXPECT_EQ(now(), before);
}

// Made as the dependent of a job, the operation holds the activity until the job is done.
TEST(ActivityOperation, HoldsItsActivityFromCreationUntilItRuns) {
    const Counts before = now();
    OperationQueue queue("test", 1, OperationQueue::Execution::ByHand);
    auto job = queue.addOperation([] {});
    auto op =
        PLRActivityOperation::operationByStartingActivityName("io.plurio.RecordEvent", 0xC000);
    op->addDependency(job);
    EXPECT_EQ(now().activities, before.activities + 1);
    queue.addOperation(op);
    queue.runPending();
    EXPECT_TRUE(op->isFinished());
    EXPECT_EQ(now(), before);
}

TEST(ActivityOperation, ACancelledOneEndsItsActivityWhenDestroyed) {
    const Counts before = now();
    {
        auto op = PLRActivityOperation::operationByStartingActivityName("x", 0xC000);
        op->cancel();
        op->start();
        EXPECT_TRUE(op->isFinished());
        EXPECT_EQ(now().sudden, before.sudden + 1) << "a cancelled operation runs no main()";
    }
    EXPECT_EQ(now(), before);
}

}  // namespace
}  // namespace wv
