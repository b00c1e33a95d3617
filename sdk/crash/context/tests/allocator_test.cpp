#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "CrashTestSupport.h"
#include "sdk/crash/context/QXAllocator.h"
#include "sdk/crash/context/QXHost.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

TEST(QXAllocator, RegionSizesAreWholePagesWithOneToSpare) {
    struct Case {
        uint64_t requested;
        uint64_t page;
        uint64_t writable;
    };
    const Case cases[] = {
        {544872, 4096, 548864}, {0, 4096, 0},
        {4096, 4096, 8192},  // already a multiple: still gains a page
        {4095, 4096, 4096},     {1, 16384, 16384},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QXAllocatorWritableRegionSize(c.requested, c.page), c.writable) << c.requested;
    }
    // The record's 64 bytes count against the protected request.
    EXPECT_EQ(QXAllocatorProtectedRegionSize(17064, 4096), 20480u);
    EXPECT_EQ(QXAllocatorProtectedRegionSize(4032, 4096), 8192u);
    EXPECT_EQ(QXAllocatorProtectedRegionSize(4031, 4096), 4096u);
    EXPECT_EQ(QXAllocatorProtectedRegionSize(0, 4096), 4096u);
}

TEST(QXAllocator, LayoutHasGuardPagesAroundBothRegions) {
    uint64_t page = QXHostGetPageSize();
    QXAllocator* allocator = QXAllocatorCreate(544872, 17064);
    ASSERT_NE(allocator, nullptr);
    char* base = static_cast<char*>(allocator->mappingBase);
    EXPECT_EQ(allocator->writable.start, base + page);
    EXPECT_EQ(allocator->protectedRegion.start,
              allocator->writable.start + allocator->writable.size + page);
    EXPECT_EQ(reinterpret_cast<char*>(allocator), allocator->protectedRegion.start);
    EXPECT_EQ(allocator->protectedRegion.nextFree, allocator->protectedRegion.start + 64);
    char* guards[] = {base, allocator->writable.start + allocator->writable.size,
                      allocator->protectedRegion.start + allocator->protectedRegion.size};
    char probe;
    for (char* guard : guards) {
        EXPECT_FALSE(QXUtilityReadMemory(reinterpret_cast<uintptr_t>(guard), &probe, 1));
        EXPECT_FALSE(QXUtilityReadMemory(reinterpret_cast<uintptr_t>(guard + page - 1), &probe, 1));
    }
    EXPECT_TRUE(
        QXUtilityReadMemory(reinterpret_cast<uintptr_t>(allocator->writable.start), &probe, 1));
    if (page == 4096) {
        EXPECT_EQ(allocator->writable.size, 548864u);
        EXPECT_EQ(allocator->protectedRegion.size, 20480u);
        EXPECT_EQ(3 * page + allocator->writable.size + allocator->protectedRegion.size, 581632u);
    }
}

TEST(QXAllocator, AllocationsAreAlignedAndFallBackToTheHeapWhenFull) {
    test::ScopedLogContext scope;
    QXAllocator* allocator = QXAllocatorCreate(100, 100);
    ASSERT_NE(allocator, nullptr);
    QXAllocatorRegion& region = allocator->writable;
    char* a = static_cast<char*>(QXAllocatorSafeAllocate(allocator, 3, QXAllocationRegionWritable));
    char* b =
        static_cast<char*>(QXAllocatorSafeAllocate(allocator, 17, QXAllocationRegionWritable));
    char* c =
        static_cast<char*>(QXAllocatorSafeAllocate(allocator, 1, QXAllocationRegionProtected));
    EXPECT_EQ(a, region.start);
    EXPECT_EQ(b, a + 16);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(c) % 16, 0u);
    EXPECT_EQ(QXAllocatorSafeAllocate(allocator, 8, 2), nullptr);

    char* before = region.nextFree;
    void* heap = QXAllocatorSafeAllocate(allocator, region.size, QXAllocationRegionWritable);
    ASSERT_NE(heap, nullptr);
    EXPECT_TRUE(heap < static_cast<void*>(allocator->mappingBase) ||
                heap >= static_cast<void*>(allocator->protectedRegion.start +
                                           allocator->protectedRegion.size));
    EXPECT_EQ(region.nextFree, before);
    EXPECT_NE(scope.log().find("Unable to allocate sufficient memory, falling back to malloc"),
              std::string::npos);
    free(heap);

    void* absent = QXAllocatorSafeAllocate(nullptr, 8, QXAllocationRegionWritable);
    EXPECT_NE(absent, nullptr);
    free(absent);
    EXPECT_NE(scope.log().find("Allocator invalid, falling back to malloc"), std::string::npos);
}

TEST(QXAllocator, ConcurrentAllocationsNeverOverlap) {
    QXAllocator* allocator = QXAllocatorCreate(64 * 1024, 0);
    ASSERT_NE(allocator, nullptr);
    std::vector<std::vector<uintptr_t>> got(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                got[t].push_back(reinterpret_cast<uintptr_t>(
                    QXAllocatorSafeAllocate(allocator, 32, QXAllocationRegionWritable)));
            }
        });
    }
    for (auto& thread : threads) thread.join();
    std::set<uintptr_t> all;
    for (const auto& list : got) all.insert(list.begin(), list.end());
    EXPECT_EQ(all.size(), 800u);
    uintptr_t previous = 0;
    for (uintptr_t p : all) {
        EXPECT_TRUE(previous == 0 || p - previous >= 32);
        previous = p;
    }
}

TEST(QXAllocator, ProtectionMakesTheRegionReadOnlyAndLaterRequestsUseTheHeap) {
    test::ScopedLogContext scope;
    EXPECT_FALSE(QXAllocatorProtect(nullptr));
    QXAllocator* allocator = QXAllocatorCreate(4096, 4096);
    ASSERT_NE(allocator, nullptr);
    auto* value =
        static_cast<uint64_t*>(QXAllocatorSafeAllocate(allocator, 8, QXAllocationRegionProtected));
    auto* writable =
        static_cast<uint64_t*>(QXAllocatorSafeAllocate(allocator, 8, QXAllocationRegionWritable));
    *value = 11;
    ASSERT_TRUE(QXAllocatorProtect(allocator));
    EXPECT_TRUE(QXAllocatorProtect(allocator));
    *writable = 12;
    EXPECT_EQ(*value, 11u);
    void* heap = QXAllocatorSafeAllocate(allocator, 8, QXAllocationRegionWritable);
    free(heap);
    std::string log = scope.log();
    EXPECT_NE(log.find("Invalid allocator"), std::string::npos);
    EXPECT_NE(log.find("Write protection already enabled"), std::string::npos);
    EXPECT_NE(log.find("Allocator already protected, falling back to malloc"), std::string::npos);

    for (void* target : {static_cast<void*>(value), static_cast<void*>(&allocator->isProtected)}) {
        pid_t child = fork();
        if (child == 0) {
            *static_cast<volatile uint8_t*>(target) = 1;
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;
    }
}

}  // namespace
}  // namespace wv
