#pragma once

// Call chains for the live-stack comparison: each link is one kind of frame and calls the
// next link of the route; the last link is a frameless leaf that stops on `ud2`, where the
// test's SIGILL handler walks the stack. The links live in two files built differently (one
// keeps frame pointers at -O0, one drops them at -O2), so the walk meets both kinds.

#include <cstdint>

namespace wv::test {

enum class Link : char {
    WithFramePointer = 'f',
    WithoutFramePointer = 'n',
    LargeFrame = 'l',
    Alloca = 'a',
    InsideCatch = 'c',
    ThroughQsort = 'q',
};

// Follows `route` (a string of Link letters) and ends in the leaf.
void runRoute(const char* route);

extern "C" {
void wvChainWithFramePointer(const char* route);
void wvChainWithoutFramePointer(const char* route);
void wvChainLargeFrame(const char* route);
void wvChainAlloca(const char* route);
void wvChainInsideCatch(const char* route);
void wvChainThroughQsort(const char* route);
void wvChainFramelessLeaf();
}

}  // namespace wv::test
