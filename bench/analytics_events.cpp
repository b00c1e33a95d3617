// Building a predefined event on the caller's thread and encoding its payload: what every
// typed logging call of the application costs before the event is queued.
#include <benchmark/benchmark.h>

#include "sdk/analytics/PLRPredefinedEvent.h"

namespace {

using wv::plist::Value;

wv::plist::Dictionary customAttributes(int count, size_t length) {
    wv::plist::Dictionary d;
    for (int i = 0; i < count; ++i) {
        std::string key = "attribute_" + std::to_string(i);
        key.resize(length, 'k');
        d.set(key, Value(std::string(length, char('a' + i % 26))));
    }
    return d;
}

void levelEnd(benchmark::State& state, const wv::plist::Dictionary& custom) {
    for (auto _ : state) {
        auto event = wv::PLRPredefinedEvent::levelEndEventWithLevelName(
            Value("Home row"), Value(int64_t(97)), Value(true), custom);
        std::string text = event->dictionaryRepresentation().dump();
        benchmark::DoNotOptimize(text);
    }
}

void BM_LevelEndThreeAttributes(benchmark::State& state) {
    wv::plist::Dictionary custom;
    custom.set("layout", Value("dvorak"));
    custom.set("wpm", Value(int64_t(42)));
    custom.set("accuracy", Value(0.97));
    levelEnd(state, custom);
}
BENCHMARK(BM_LevelEndThreeAttributes)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_LevelEndTwentyOneLongAttributes(benchmark::State& state) {
    levelEnd(state, customAttributes(21, 100));
}
BENCHMARK(BM_LevelEndTwentyOneLongAttributes)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
