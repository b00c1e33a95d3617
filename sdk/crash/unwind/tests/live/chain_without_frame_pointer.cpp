// Built at -O2 without frame pointers: these links are found through their call-frame
// information only.
#include <cstdlib>
#include <cstring>

#include "sdk/crash/unwind/tests/live/CallChain.h"

namespace wv::test {
namespace {

const char* gQsortRoute = nullptr;
bool gQsortEntered = false;

int compareAndDescend(const void* a, const void* b) {
    if (!gQsortEntered) {
        gQsortEntered = true;
        runRoute(gQsortRoute);
    }
    return *static_cast<const int*>(a) - *static_cast<const int*>(b);
}

}  // namespace

extern "C" __attribute__((noinline)) void wvChainWithoutFramePointer(const char* route) {
    runRoute(route);
    asm volatile("");
}

extern "C" __attribute__((noinline)) void wvChainLargeFrame(const char* route) {
    volatile char big[70000];
    big[0] = route[0];
    runRoute(route);
    big[69999] = big[0];
}

extern "C" __attribute__((noinline)) void wvChainThroughQsort(const char* route) {
    int values[] = {3, 1, 2};
    gQsortRoute = route;
    gQsortEntered = false;
    qsort(values, 3, sizeof(int), compareAndDescend);
    asm volatile("");
}

extern "C" __attribute__((noinline)) void wvChainFramelessLeaf() { asm volatile("ud2"); }

}  // namespace wv::test
