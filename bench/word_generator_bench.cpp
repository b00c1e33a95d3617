// One exercise line of every language, from the bundle's word databases, at every lesson level
// with every option on (the most work a line can take). Target: under 2 ms median per line
// (the _median rows).
#include <benchmark/benchmark.h>

#include <memory>

#include "engine/WordGeneratorBase.h"
#include "platform/foundation/Log.h"

namespace wv {
namespace {

void BM_GenerateLine(benchmark::State& state) {
    LogCapture quiet;  // the lookups print; keep the terminal for the results
    const auto language = *languageFromRawValue(static_cast<int>(state.range(0)));
    WordGeneratorSettings settings;
    settings.level = static_cast<int>(state.range(1));
    settings.numbers = settings.capitals = settings.punctuation = true;
    auto generator = makeWordGenerator(language, settings);
    generator->generateText(100, settings.level, nullptr);  // opens the database
    for (auto _ : state) {
        benchmark::DoNotOptimize(generator->generateText(100, settings.level, nullptr));
        quiet.clear();
    }
    state.SetLabel(std::string(languageName(language)));
}
BENCHMARK(BM_GenerateLine)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 9, 1), benchmark::CreateDenseRange(0, 6, 1)})
    ->MinTime(0.1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace wv
