// Built at -O0 with frame pointers: every link here has the classic rbp chain.
#include <alloca.h>

#include <cstring>
#include <stdexcept>

#include "sdk/crash/unwind/tests/live/CallChain.h"

namespace wv::test {

void runRoute(const char* route) {
    switch (static_cast<Link>(*route)) {
        case Link::WithFramePointer:
            return wvChainWithFramePointer(route + 1);
        case Link::WithoutFramePointer:
            return wvChainWithoutFramePointer(route + 1);
        case Link::LargeFrame:
            return wvChainLargeFrame(route + 1);
        case Link::Alloca:
            return wvChainAlloca(route + 1);
        case Link::InsideCatch:
            return wvChainInsideCatch(route + 1);
        case Link::ThroughQsort:
            return wvChainThroughQsort(route + 1);
        default:
            return wvChainFramelessLeaf();
    }
}

extern "C" __attribute__((noinline)) void wvChainWithFramePointer(const char* route) {
    runRoute(route);
    asm volatile("");  // keeps the call from becoming a tail call
}

extern "C" __attribute__((noinline)) void wvChainAlloca(const char* route) {
    volatile char* buffer = static_cast<volatile char*>(alloca(4000 + strlen(route)));
    buffer[0] = 1;
    runRoute(route);
    buffer[1] = buffer[0];
}

extern "C" __attribute__((noinline)) void wvChainInsideCatch(const char* route) {
    try {
        throw std::runtime_error("to be caught");
    } catch (const std::exception&) {
        runRoute(route);
    }
    asm volatile("");
}

}  // namespace wv::test
