#pragma once

// One private mapping made at start-up: guard page, writable region, guard page, protected
// region, guard page. Memory is handed out by lock-free bumping and never freed; the
// protected region can be made read-only once, after which every request falls back to the
// heap with a warning.
//
// Crash-time contract for QXAllocatorSafeAllocateFromRegion while the region has room:
// async-signal-safe, no lock, no heap; an allocator below 4096 is absent. Creation and protection
// run at start-up only. Allocations start on 16-byte boundaries (a misaligned atomic faults on
// arm64).

#include <cstdint>

namespace wv {

struct QXAllocatorRegion {
    uint64_t size;
    char* start;
    char* nextFree;
};

// Lives in the first 64 bytes of its own protected region.
struct QXAllocator {
    void* mappingBase;
    uint8_t isProtected;
    QXAllocatorRegion writable;
    QXAllocatorRegion protectedRegion;
};
static_assert(sizeof(QXAllocator) <= 64);

enum QXAllocationRegion : int { QXAllocationRegionProtected = 0, QXAllocationRegionWritable = 1 };

inline constexpr uint64_t kQXAllocatorRecordSize = 64;
inline constexpr uint64_t kQXAllocationAlignment = 16;

// Whole pages: (requested / page + 1) * page, 0 for 0; the protected one also holds the record.
uint64_t QXAllocatorWritableRegionSize(uint64_t requested, uint64_t pageSize);
uint64_t QXAllocatorProtectedRegionSize(uint64_t requested, uint64_t pageSize);

QXAllocator* QXAllocatorCreate(uint64_t writableBytes, uint64_t protectedBytes);
void* QXAllocatorSafeAllocate(QXAllocator* allocator, uint64_t size, int region);
void* QXAllocatorSafeAllocateFromRegion(QXAllocatorRegion* region, uint64_t size);
bool QXAllocatorProtect(QXAllocator* allocator);

}  // namespace wv
