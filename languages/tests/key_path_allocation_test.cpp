// A key press is a table look-up: once the layouts are built, typing allocates nothing.
// The global allocator of this test program counts its calls so the key path can be watched.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "languages/layouts/KeyMapDe.h"
#include "languages/layouts/KeyMapEn.h"
#include "languages/layouts/KeyMapEs.h"
#include "languages/layouts/KeyMapFr.h"
#include "languages/layouts/KeyMapGr.h"
#include "languages/layouts/KeyMapIt.h"
#include "languages/layouts/KeyMapPr.h"
#include "languages/layouts/KeyMapRu.h"
#include "languages/layouts/KeyMapTr.h"
#include "languages/layouts/KeyMapUk.h"

namespace {
std::atomic<long> gAllocations{0};
}

void* operator new(std::size_t size) {
    ++gAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// GCC sees malloc behind operator new once both are inlined and warns about the pairing.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace wv {
namespace {

template <class Map>
void expectNoAllocationWhileTyping() {
    Map map;
    for (size_t layout = 0; layout < map.layouts().size(); ++layout) {
        map.selectLayout(int(layout));
        const KeyboardLayoutData& data = map.layoutData();
        long before = gAllocations.load();
        long found = 0;
        for (int code : kKeyRowsOrder) {
            if (data.dic().at(code).empty()) continue;  // an unmapped key prints a message
            for (int bits = 0; bits < 8; ++bits) {
                found += map.symbolForKeyCode(code, bits & 1, bits & 2, bits & 4).has_value();
            }
            found += map.keyCodeForSymbol(data.dic().at(code)).has_value();
            found += map.fingerForKeyCode(code) >= 0;
        }
        found += map.symbolForKeyCode(49, true, true, true).has_value();
        EXPECT_EQ(gAllocations.load() - before, 0) << data.name();
        EXPECT_GT(found, 0);
    }
}

TEST(KeyPath, TypingAllocatesNothing) {
    expectNoAllocationWhileTyping<KeyMapEn>();
    expectNoAllocationWhileTyping<KeyMapDe>();
    expectNoAllocationWhileTyping<KeyMapFr>();
    expectNoAllocationWhileTyping<KeyMapEs>();
    expectNoAllocationWhileTyping<KeyMapIt>();
    expectNoAllocationWhileTyping<KeyMapPr>();
    expectNoAllocationWhileTyping<KeyMapRu>();
    expectNoAllocationWhileTyping<KeyMapUk>();
    expectNoAllocationWhileTyping<KeyMapGr>();
    expectNoAllocationWhileTyping<KeyMapTr>();
}

TEST(KeyPath, TheCounterSeesAllocations) {
    long before = gAllocations.load();
    auto* p = new std::string(100, 'x');
    delete p;
    EXPECT_GE(gAllocations.load() - before, 2);
}

}  // namespace
}  // namespace wv
