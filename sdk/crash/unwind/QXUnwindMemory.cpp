#include "sdk/crash/unwind/QXUnwindMemory.h"

#include <cstring>

#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

constexpr uint64_t kPageSize = 4096;
constexpr uint32_t kPageSlots = 48;
constexpr uint64_t kWindowSize = 8192;
// How far below a missed address the window starts: a frame's saved registers lie below the
// slot of its return address, which is often read first.
constexpr uint64_t kWindowLead = 512;

struct Scratch {
    uint64_t windowStart;
    uint64_t windowLength;
    uint64_t pages[kPageSlots];
    uint32_t nextPage;
    uint8_t window[kWindowSize];
};
static_assert(sizeof(Scratch) <= kQXUnwindScratchSize, "the cursor's scratch is too small");

__attribute__((tls_model("initial-exec"))) thread_local Scratch* tScratch = nullptr;

bool knownReadable(const Scratch* s, uint64_t page) {
    if (s == nullptr) return false;
    for (uint64_t known : s->pages) {
        if (known == page) return true;
    }
    return false;
}

void rememberReadable(Scratch* s, uint64_t page) {
    if (s == nullptr || page == 0) return;
    s->pages[s->nextPage] = page;
    s->nextPage = (s->nextPage + 1) % kPageSlots;
}

bool pageIsReadable(Scratch* s, uint64_t address) {
    uint64_t page = address & ~(kPageSize - 1);
    if (knownReadable(s, page)) return true;
    uint8_t byte;
    if (!QXUtilityReadMemory(static_cast<uintptr_t>(address), &byte, 1)) return false;
    rememberReadable(s, page);
    return true;
}

bool refill(Scratch* s, uint64_t address, uint64_t length) {
    uint64_t page = address & ~(kPageSize - 1);
    uint64_t start =
        address - kWindowLead < page || address < kWindowLead ? page : address - kWindowLead;
    start &= ~uint64_t(7);
    s->windowStart = start;
    s->windowLength = 0;
    // Page by page, so the window ends where the readable memory does.
    for (uint64_t at = start; at < start + kWindowSize;) {
        uint64_t pageEnd = (at & ~(kPageSize - 1)) + kPageSize;
        uint64_t run = (pageEnd < start + kWindowSize ? pageEnd : start + kWindowSize) - at;
        if (!QXUtilityReadMemory(static_cast<uintptr_t>(at), s->window + (at - start), run)) break;
        s->windowLength += run;
        at += run;
        if (at >= address + length) break;  // enough for this read; more on the next miss
    }
    return address + length <= s->windowStart + s->windowLength;
}

}  // namespace

QXUnwindMemoryScope::QXUnwindMemoryScope(QXUnwindCursor* cursor) : previous_(tScratch) {
    tScratch = reinterpret_cast<Scratch*>(cursor->scratch);
}

QXUnwindMemoryScope::~QXUnwindMemoryScope() { tScratch = static_cast<Scratch*>(previous_); }

bool QXUnwindReadMemory(uint64_t address, void* destination, uint64_t length) {
    if (address < kQXInvalidAddressLimit || address + length < address) return false;
    Scratch* s = tScratch;
    if (s == nullptr || length > kWindowSize - kWindowLead) {
        return QXUtilityReadMemory(static_cast<uintptr_t>(address), destination, length);
    }
    bool inside = address >= s->windowStart && address + length <= s->windowStart + s->windowLength;
    if (!inside && !refill(s, address, length)) {
        return QXUtilityReadMemory(static_cast<uintptr_t>(address), destination, length);
    }
    memcpy(destination, s->window + (address - s->windowStart), length);
    return true;
}

bool QXUnwindRangeIsReadable(uint64_t start, uint64_t length) {
    if (start < kQXInvalidAddressLimit || length == 0 || start + length < start) return false;
    Scratch* s = tScratch;
    uint64_t last = start + length - 1;
    if (!pageIsReadable(s, start)) return false;
    for (uint64_t page = (start & ~(kPageSize - 1)) + kPageSize; page <= last && page != 0;
         page += kPageSize) {
        if (!pageIsReadable(s, page)) return false;
    }
    return pageIsReadable(s, last);
}

}  // namespace wv
