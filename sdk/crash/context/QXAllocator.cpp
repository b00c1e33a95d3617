#include "sdk/crash/context/QXAllocator.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXHost.h"
#include "sdk/crash/context/QXSDKLog.h"

namespace wv {
namespace {

uint64_t roundUp(uint64_t size) {
    return (size + kQXAllocationAlignment - 1) & ~(kQXAllocationAlignment - 1);
}

void* heapFallback(uint64_t size) {
    void* p = nullptr;
    if (posix_memalign(&p, kQXAllocationAlignment, size == 0 ? 1 : size) != 0) return nullptr;
    return p;
}

bool guard(char* page, uint64_t pageSize) { return mprotect(page, pageSize, PROT_NONE) == 0; }

}  // namespace

uint64_t QXAllocatorWritableRegionSize(uint64_t requested, uint64_t pageSize) {
    if (requested == 0) return 0;
    return (requested / pageSize + 1) * pageSize;
}

uint64_t QXAllocatorProtectedRegionSize(uint64_t requested, uint64_t pageSize) {
    return ((requested + kQXAllocatorRecordSize) / pageSize + 1) * pageSize;
}

QXAllocator* QXAllocatorCreate(uint64_t writableBytes, uint64_t protectedBytes) {
    uint64_t page = QXHostGetPageSize();
    uint64_t writableSize = QXAllocatorWritableRegionSize(writableBytes, page);
    uint64_t protectedSize = QXAllocatorProtectedRegionSize(protectedBytes, page);
    uint64_t total = 3 * page + writableSize + protectedSize;
    void* mapping =
        mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        QXLogError("Mapping failed %s\n", strerrordesc_np(errno));
        return nullptr;
    }
    char* base = static_cast<char*>(mapping);
    char* writableStart = base + page;
    char* middleGuard = writableStart + writableSize;
    char* protectedStart = middleGuard + page;
    char* lastGuard = protectedStart + protectedSize;
    QXLogInfo("Mapping: %p %p %p, total: %zu K\n", base, writableStart, protectedStart,
              static_cast<size_t>(total / 1024));
    if (!guard(base, page)) {
        QXLogError("First guard protection failed %s\n", strerrordesc_np(errno));
        return nullptr;
    }
    if (!guard(middleGuard, page)) {
        QXLogError("Middle guard protection failed %s\n", strerrordesc_np(errno));
        return nullptr;
    }
    if (!guard(lastGuard, page)) {
        QXLogError("Last guard protection failed %s\n", strerrordesc_np(errno));
        return nullptr;
    }
    auto* allocator = reinterpret_cast<QXAllocator*>(protectedStart);
    memset(allocator, 0, kQXAllocatorRecordSize);
    allocator->mappingBase = base;
    allocator->writable = {writableSize, writableStart, writableStart};
    allocator->protectedRegion = {protectedSize, protectedStart,
                                  protectedStart + kQXAllocatorRecordSize};
    QXLogDebug("Allocator successfully created %p\n", allocator);
    return allocator;
}

void* QXAllocatorSafeAllocateFromRegion(QXAllocatorRegion* region, uint64_t size) {
    uint64_t rounded = roundUp(size);
    char* current = __atomic_load_n(&region->nextFree, __ATOMIC_SEQ_CST);
    for (;;) {
        if (static_cast<uint64_t>(current - region->start) + rounded > region->size) {
            QXLogWarn("Unable to allocate sufficient memory, falling back to malloc\n");
            return heapFallback(size);
        }
        if (__atomic_compare_exchange_n(&region->nextFree, &current, current + rounded, false,
                                        __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
            return current;
        }
    }
}

void* QXAllocatorSafeAllocate(QXAllocator* allocator, uint64_t size, int region) {
    if (!QXIsValidPointer(allocator)) {
        QXLogWarn("Allocator invalid, falling back to malloc\n");
        return heapFallback(size);
    }
    if (__atomic_load_n(&allocator->isProtected, __ATOMIC_SEQ_CST)) {
        QXLogWarn("Allocator already protected, falling back to malloc\n");
        return heapFallback(size);
    }
    switch (region) {
        case QXAllocationRegionWritable:
            return QXAllocatorSafeAllocateFromRegion(&allocator->writable, size);
        case QXAllocationRegionProtected:
            return QXAllocatorSafeAllocateFromRegion(&allocator->protectedRegion, size);
        default:
            return nullptr;
    }
}

bool QXAllocatorProtect(QXAllocator* allocator) {
    if (!QXIsValidPointer(allocator)) {
        QXLogError("Invalid allocator\n");
        return false;
    }
    if (allocator->isProtected) {
        QXLogWarn("Write protection already enabled\n");
        return true;
    }
    __atomic_store_n(&allocator->isProtected, 1, __ATOMIC_SEQ_CST);
    return mprotect(allocator->protectedRegion.start, allocator->protectedRegion.size, PROT_READ) ==
           0;
}

}  // namespace wv
