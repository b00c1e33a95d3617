#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>

#include "sdk/crash/unwind/QXUnwind.h"
#include "sdk/crash/unwind/QXUnwindMemory.h"

namespace wv {
namespace {

// Two readable pages followed by an unmapped one, filled with their own offsets.
class UnwindMemory : public ::testing::Test {
  protected:
    void SetUp() override {
        map_ = static_cast<uint64_t*>(
            mmap(nullptr, 3 * 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        ASSERT_NE(map_, MAP_FAILED);
        munmap(reinterpret_cast<uint8_t*>(map_) + 2 * 4096, 4096);
        for (int i = 0; i < 1024; ++i) map_[i] = uint64_t(i);
        QXUnwindInit(&cursor_, QXMachineContext{});
    }
    void TearDown() override { munmap(map_, 2 * 4096); }
    uint64_t at(int word) const { return reinterpret_cast<uint64_t>(&map_[word]); }

    uint64_t* map_ = nullptr;
    QXUnwindCursor cursor_;
};

TEST_F(UnwindMemory, readsThroughTheWindowUpToTheEndOfReadableMemory) {
    QXUnwindMemoryScope scope(&cursor_);
    for (int word : {100, 90, 1000, 1023, 3, 600}) {
        uint64_t value = ~0ull;
        ASSERT_TRUE(QXUnwindReadMemory(at(word), &value, 8)) << word;
        EXPECT_EQ(value, uint64_t(word));
    }
    uint64_t value;
    EXPECT_FALSE(QXUnwindReadMemory(at(1023) + 4, &value, 8));  // runs into the unmapped page
    EXPECT_FALSE(QXUnwindReadMemory(at(1024), &value, 8));
    EXPECT_FALSE(QXUnwindReadMemory(100, &value, 8));
}

TEST_F(UnwindMemory, aNewWalkSeesMemoryAsItIsNow) {
    uint64_t value = 0;
    {
        QXUnwindMemoryScope scope(&cursor_);
        ASSERT_TRUE(QXUnwindReadMemory(at(10), &value, 8));
    }
    map_[10] = 777;
    QXUnwindInit(&cursor_, QXMachineContext{});
    QXUnwindMemoryScope scope(&cursor_);
    ASSERT_TRUE(QXUnwindReadMemory(at(10), &value, 8));
    EXPECT_EQ(value, 777u);
}

TEST_F(UnwindMemory, rangesAreReadableOnlyWhereEveryPageIs) {
    QXUnwindMemoryScope scope(&cursor_);
    EXPECT_TRUE(QXUnwindRangeIsReadable(at(0), 2 * 4096));
    EXPECT_TRUE(QXUnwindRangeIsReadable(at(1000), 8));
    EXPECT_FALSE(QXUnwindRangeIsReadable(at(1000), 8 * 24 + 1));
    EXPECT_FALSE(QXUnwindRangeIsReadable(at(0), 0));
    EXPECT_FALSE(QXUnwindRangeIsReadable(~0ull - 4, 16));
}

}  // namespace
}  // namespace wv
