#include <gtest/gtest.h>

#include <string>

#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"
#include "sdk/crash/images/testing/QXTestImageTable.h"
#include "sdk/crash/unwind/QXUnwind.h"
#include "sdk/crash/unwind/tests/FakeElfImage.h"

namespace wv {
namespace {

using test::FakeElfImage;
using test::FakeFunction;

// An image table holding only the fake image, with the SDK log in a temporary folder.
class UnwindDriver : public ::testing::Test {
  protected:
    UnwindDriver()
        : image_({// A: its CFA is 16 above SP from its first byte on.
                  FakeFunction{0x100, 0x10, {0x0e, 0x10}},
                  // B, right after A: the CIE's rules (CFA = SP + 8).
                  FakeFunction{0x110, 0x10, {}},
                  // C: the outermost frame, whose return address is undefined.
                  FakeFunction{0x120, 0x10, {0x07, 0x10}}}),
          table_((folder_ / "sdk.log").string()) {
        table_.clear();
        table_.add(image_.node());
        memset(stack_, 0, sizeof(stack_));
    }
    std::string log() const { return test::readFile(folder_ / "sdk.log"); }
    uint64_t stackAt(int index) { return reinterpret_cast<uint64_t>(&stack_[index]); }
    QXUnwindCursor start(uint64_t pc, uint64_t sp, uint64_t fp) {
        QXMachineContext context{};
        context.rip = pc;
        context.rsp = sp;
        context.rbp = fp;
        QXUnwindCursor cursor;
        EXPECT_TRUE(QXUnwindInit(&cursor, context));
        return cursor;
    }

    test::TempFolder folder_;
    FakeElfImage image_;
    test::QXTestImageTable table_;
    uint64_t stack_[64];
};

TEST_F(UnwindDriver, reportsTheStartingPCFirstAndUnchanged) {
    QXUnwindCursor cursor = start(image_.at(0x114), stackAt(0), 0);
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));
    EXPECT_EQ(QXUnwindGetPC(&cursor), image_.at(0x114));
    EXPECT_EQ(QXUnwindGetSP(&cursor), stackAt(0));
    EXPECT_EQ(cursor.frameCount, 1u);
}

TEST_F(UnwindDriver, aFaultAtAFunctionsFirstByteUsesThatFunctionsRules) {
    // B's rules take the return address at SP; A's (one byte back) would take SP + 8.
    stack_[0] = image_.at(0x124);
    stack_[1] = image_.at(0x104);
    QXUnwindCursor cursor = start(image_.at(0x110), stackAt(0), 0);
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));
    EXPECT_EQ(QXUnwindGetPC(&cursor), image_.at(0x124));
    EXPECT_EQ(QXUnwindGetSP(&cursor), stackAt(1));
}

TEST_F(UnwindDriver, aReturnAddressIsLookedUpOneByteBack) {
    // The return address 0x110 follows a call at the end of A: A's rules apply (CFA = SP + 16).
    stack_[0] = image_.at(0x110);
    stack_[1] = 0;
    stack_[2] = image_.at(0x126);
    QXUnwindCursor cursor = start(image_.at(0x118), stackAt(0), 0);
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));  // B -> A's return address
    EXPECT_EQ(QXUnwindGetPC(&cursor), image_.at(0x110));
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));  // A: the return address at SP + 8
    EXPECT_EQ(QXUnwindGetPC(&cursor), image_.at(0x126));
    EXPECT_EQ(QXUnwindGetSP(&cursor), stackAt(3));  // CFA = B's CFA + 16
}

TEST_F(UnwindDriver, anUndefinedReturnAddressEndsTheWalkQuietly) {
    QXUnwindCursor cursor = start(image_.at(0x122), stackAt(0), stackAt(8));
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));
    EXPECT_FALSE(QXUnwindNextFrame(&cursor));
    EXPECT_EQ(log().find("ERROR"), std::string::npos) << log();
}

TEST_F(UnwindDriver, aZeroFramePointerEndsTheWalkWhereNoTablesHelp) {
    // A PC in no known image: neither tables nor a scan can help.
    QXUnwindCursor cursor = start(0x7000, stackAt(0), 0);
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));
    EXPECT_FALSE(QXUnwindNextFrame(&cursor));
    EXPECT_NE(log().find("FP is zero, aborting unwind"), std::string::npos) << log();
}

TEST_F(UnwindDriver, aFramelessLeafIsPassedByTheStackScan) {
    // An image without tables: the scan finds the first word that lies in a known image.
    QXBinaryImageNode bare = image_.node();
    bare.unwindInfo = 0;
    table_.clear();
    table_.add(bare);
    stack_[0] = 0x1234;  // not code
    stack_[1] = image_.at(0x150);
    QXUnwindCursor cursor = start(image_.at(0x200), stackAt(0), stackAt(6));
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));
    EXPECT_EQ(QXUnwindGetPC(&cursor), image_.at(0x150));
    EXPECT_EQ(QXUnwindGetSP(&cursor), stackAt(0));
    EXPECT_EQ(cursor.context.rbp, stackAt(6));
    EXPECT_NE(log().find("Stack scan successful"), std::string::npos);
}

TEST_F(UnwindDriver, aFramePointerCycleIsStoppedByTheFrameCap) {
    // A frame whose saved FP is itself: the same PC for ever, outside every image.
    stack_[4] = stackAt(4);
    stack_[5] = 0x9000;
    QXUnwindCursor cursor = start(0x9000, stackAt(0), stackAt(4));
    uint32_t steps = 0;
    // Quiet while it runs: 600000 logged steps would take seconds.
    table_.writable().logMinimumLevel = QXSDKLogLevelError + 1;
    while (QXUnwindNextFrame(&cursor)) ++steps;
    EXPECT_EQ(steps, kQXUnwindMaximumFrames);
    EXPECT_EQ(QXUnwindGetRepeatCount(&cursor), kQXUnwindMaximumFrames - 1);
    table_.writable().logMinimumLevel = QXSDKLogLevelDebug;
    EXPECT_FALSE(QXUnwindNextFrame(&cursor));
    EXPECT_NE(log().find("Exceeded maximum number of frames"), std::string::npos);
}

TEST_F(UnwindDriver, anInvalidStartEndsAtOnce) {
    QXUnwindCursor cursor = start(100, stackAt(0), 0);
    EXPECT_FALSE(QXUnwindNextFrame(&cursor));
    EXPECT_NE(log().find("Cancelling unwind for thread with invalid PC/SP"), std::string::npos);
    EXPECT_FALSE(QXUnwindNextFrame(nullptr));
    EXPECT_FALSE(QXUnwindInit(nullptr, QXMachineContext{}));
    EXPECT_EQ(QXUnwindGetPC(nullptr), 0u);
    EXPECT_EQ(QXUnwindGetRepeatCount(nullptr), 0u);
}

TEST_F(UnwindDriver, aPCDecrementedBelow4096EndsTheWalk) {
    // The frame-pointer chain hands back 4096; one byte back is no address.
    stack_[4] = stackAt(10);
    stack_[5] = 4096;
    QXUnwindCursor cursor = start(0x9000, stackAt(0), stackAt(4));
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));
    EXPECT_EQ(QXUnwindGetPC(&cursor), 4096u);
    EXPECT_FALSE(QXUnwindNextFrame(&cursor));
    EXPECT_NE(log().find("PC is invalid"), std::string::npos);
}

TEST_F(UnwindDriver, anUnmappedStackEndsTheWalkWithoutAFault) {
    QXUnwindCursor cursor = start(image_.at(0x114), 0x10000, 0x10100);
    ASSERT_TRUE(QXUnwindNextFrame(&cursor));
    EXPECT_FALSE(QXUnwindNextFrame(&cursor));
    EXPECT_NE(log().find("Error: Unable to read CFA value"), std::string::npos) << log();
}

TEST(UnwindFirstExecutableAddress, examinesTheStartSlotEvenPastTheEnd) {
    FakeElfImage image({});
    test::QXTestImageTable table;
    table.clear();
    table.add(image.node());
    uint64_t words[3] = {image.at(0x180), 0, image.at(0x190)};
    auto at = [&](int i) { return reinterpret_cast<uint64_t>(&words[i]); };
    uint64_t found = 0;
    EXPECT_TRUE(QXUnwindFirstExecutableAddress(at(0), at(0), &found));
    EXPECT_EQ(found, image.at(0x180));
    EXPECT_TRUE(QXUnwindFirstExecutableAddress(at(1), at(2) + 8, &found));
    EXPECT_EQ(found, image.at(0x190));
    EXPECT_FALSE(QXUnwindFirstExecutableAddress(at(1), at(2), &found));
    EXPECT_EQ(found, 0u);
}

}  // namespace
}  // namespace wv
