// Start-up builds every key map; the target is under 5 ms for all of them together.
// A key press is a table look-up and must not allocate.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

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

using namespace wv;

// Every key map there is, in start-up order. The shared German tables are built by the first
// iteration only, as at start-up; BM_FirstBuild measures that one run.
void buildAll(benchmark::State& state) {
    for (auto _ : state) {
        auto en = std::make_unique<KeyMapEn>();
        auto de = std::make_unique<KeyMapDe>();
        auto es = std::make_unique<KeyMapEs>();
        auto fr = std::make_unique<KeyMapFr>();
        auto it = std::make_unique<KeyMapIt>();
        auto pr = std::make_unique<KeyMapPr>();
        auto ru = std::make_unique<KeyMapRu>();
        auto uk = std::make_unique<KeyMapUk>();
        auto gr = std::make_unique<KeyMapGr>();
        auto tr = std::make_unique<KeyMapTr>();
        benchmark::DoNotOptimize(en.get());
        benchmark::DoNotOptimize(de.get());
        benchmark::DoNotOptimize(es.get());
        benchmark::DoNotOptimize(fr.get());
        benchmark::DoNotOptimize(it.get());
        benchmark::DoNotOptimize(pr.get());
        benchmark::DoNotOptimize(ru.get());
        benchmark::DoNotOptimize(uk.get());
        benchmark::DoNotOptimize(gr.get());
        benchmark::DoNotOptimize(tr.get());
    }
}
BENCHMARK(buildAll)->Name("BM_FirstBuild")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(buildAll)->Name("BM_BuildAllKeyMaps")->Unit(benchmark::kMillisecond);

void BM_SymbolForKeyCode(benchmark::State& state) {
    KeyMapDe map;
    map.selectLayoutByName("XVLCWK Neo");
    std::vector<int> codes;  // the keys Neo has a symbol for, so nothing is printed
    for (int code : kKeyRowsOrder) {
        if (!map.layoutData().dic().at(code).empty()) codes.push_back(code);
    }
    size_t i = 0;
    for (auto _ : state) {
        ++i;
        benchmark::DoNotOptimize(
            map.symbolForKeyCode(codes[(i * 7) % codes.size()], i & 1, i & 2, i & 4));
    }
}
BENCHMARK(BM_SymbolForKeyCode);

void BM_KeyCodeForSymbol(benchmark::State& state) {
    KeyMapFr map;
    const char* symbols[] = {"a", "é", "^", "ù", "1", " ", "§", "x"};
    int i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(map.keyCodeForSymbol(symbols[i++ % 8]));
}
BENCHMARK(BM_KeyCodeForSymbol);

}  // namespace

BENCHMARK_MAIN();
