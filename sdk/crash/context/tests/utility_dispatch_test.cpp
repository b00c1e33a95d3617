#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/SerialQueue.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

bool eventually(const std::atomic<bool>& flag) {
    for (int i = 0; i < 2000 && !flag; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return flag;
}

TEST(QXUtilityDispatch, BlocksRunOnlyOnceTheirDelayHasPassed) {
    ManualRunLoop loop;
    SerialQueue serial("qx.test.serial");
    OperationQueue operations("qx.test.operations");
    std::atomic<bool> onSerial{false}, onGlobal{false}, asOperation{false};
    QXUtilityDispatchAfter(
        serial, [&] { onSerial = serial.isCurrent(); }, 2.0);
    QXUtilityDispatchAfter(
        GlobalQueue::shared(), [&] { onGlobal = GlobalQueue::shared().isCurrent(); }, 2.0);
    QXUtilityAddOperationAfterDelay(
        operations, [&] { asOperation = true; }, 2.0);

    loop.advance(1.9);
    serial.drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(onSerial || onGlobal || asOperation);

    loop.advance(0.2);
    EXPECT_TRUE(eventually(onSerial));
    EXPECT_TRUE(eventually(onGlobal));
    EXPECT_TRUE(eventually(asOperation));
    operations.waitUntilAllOperationsAreFinished();
}

}  // namespace
}  // namespace wv
