// Speed of the SDK core: the start with two do-nothing kits, the running program's identity,
// and SHA-1 over the whole executable against sha1sum; the memory the shared object and its
// store add.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/foundation/Bundle.h"
#include "platform/plist/Value.h"
#include "sdk/core/QXUserDefaults.h"
#include "sdk/core/TRNApplicationIdentiferModel.h"
#include "sdk/core/TRNHashing.h"
#include "sdk/core/TRNMachO.h"
#include "sdk/core/Tarnel.h"

namespace {

using namespace wv;

std::filesystem::path scratch() {
    static const std::filesystem::path dir = [] {
        char pattern[] = "/tmp/wv-sdk-bench-XXXXXX";
        std::filesystem::path p = mkdtemp(pattern);
        plist::Dictionary tarnel;
        tarnel.set("APIKey", "bench-key");
        tarnel.set("Kits", plist::Array{});
        plist::Dictionary info;
        info.set("CFBundleIdentifier", "com.example.bench");
        info.set("Tarnel", tarnel);
        std::filesystem::create_directories(p / "bundle");
        plist::writeFile(p / "bundle" / "Info.plist", plist::Value(info));
        return p;
    }();
    return dir;
}

long minorFaults() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// A line of /proc/self/status in KiB ("RssAnon": the heap and stacks the process wrote;
// "VmRSS": that and every file page it touched, shared library code included).
long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    }
    return 0;
}

TRNKitClass doNothingKit(const char* name) {
    TRNKitClass kit;
    kit.name = name;
    kit.declaresTRNKit = true;
    kit.bundleIdentifier = [name] { return std::string("com.bench.") + name; };
    kit.kitDisplayVersion = [] { return std::string("1.0"); };
    kit.initializeIfNeeded = [] {};
    return kit;
}

// What one shared object and its store keep resident once made and started.
void BM_ResidentGrowth(benchmark::State& state) {
    ScopedMainBundle bundle(scratch() / "bundle");
    const TRNKitClass a = doNothingKit("A"), b = doNothingKit("B");
    long anonymous = 0, total = 0;
    for (auto _ : state) {
        const long anonymousBefore = statusKiB("RssAnon"), totalBefore = statusKiB("VmRSS");
        auto store =
            std::make_unique<QXUserDefaults>(scratch() / "resident", "com.example.bench", nullptr);
        auto sdk = std::make_unique<Tarnel>(*store, std::filesystem::path());
        sdk->start({&a, &b});
        anonymous = statusKiB("RssAnon") - anonymousBefore;
        total = statusKiB("VmRSS") - totalBefore;
        benchmark::DoNotOptimize(sdk);
    }
    state.counters["anonymous_KiB"] = double(anonymous);
    state.counters["resident_KiB"] = double(total);
}
BENCHMARK(BM_ResidentGrowth)->Iterations(1);

// A launch of an installed program, from nothing to the last kit started: the store read, the
// identity made, the start run.
void BM_TarnelWithTwoKits(benchmark::State& state) {
    ScopedMainBundle bundle(scratch() / "bundle");
    const TRNKitClass a = doNothingKit("A"), b = doNothingKit("B");
    const auto base = scratch() / "installed";
    {
        QXUserDefaults store(base, "com.example.bench", nullptr);
        store.setString("INSTALLED-ID", Tarnel::kInstallIDKey);
        store.synchronize();
    }
    for (auto _ : state) {
        QXUserDefaults store(base, "com.example.bench", nullptr);
        Tarnel sdk(store, {});
        sdk.start({&a, &b});
        benchmark::DoNotOptimize(sdk.kitClasses());
    }
}
BENCHMARK(BM_TarnelWithTwoKits)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The first launch also makes the installation identifier and writes the store to disk (with
// the flush that keeps it whole).
void BM_TarnelFirstInstall(benchmark::State& state) {
    ScopedMainBundle bundle(scratch() / "bundle");
    const TRNKitClass a = doNothingKit("A"), b = doNothingKit("B");
    int run = 0;
    for (auto _ : state) {
        const auto base = scratch() / ("first" + std::to_string(run++));
        QXUserDefaults store(base, "com.example.bench", nullptr);
        Tarnel sdk(store, {});
        sdk.start({&a, &b});
        benchmark::DoNotOptimize(sdk.kitClasses());
        state.PauseTiming();
        std::filesystem::remove_all(base);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TarnelFirstInstall)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_RunningProgramIdentity(benchmark::State& state) {
    long faults = 0;
    for (auto _ : state) {
        const long before = minorFaults();
        auto model = TRNApplicationIdentiferModel::initWithInstallID("bench");
        faults += minorFaults() - before;
        benchmark::DoNotOptimize(model);
    }
    state.counters["minor_faults"] =
        benchmark::Counter(double(faults), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RunningProgramIdentity)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_SHA1OfTheExecutable(benchmark::State& state) {
    TRNMachOMappedFile file;
    TRNMachOMappedFileInitWithMainExecutable(&file);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TRNSHA1HexDigest(file.base, size_t(file.size)));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * file.size);
    TRNMachOMappedFileDestroy(&file);
}
BENCHMARK(BM_SHA1OfTheExecutable)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Sha1sumOfTheExecutable(benchmark::State& state) {
    const auto exe = Bundle::mainExecutablePath();
    const std::string command = "sha1sum " + exe.string();
    for (auto _ : state) {
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[128];
        benchmark::DoNotOptimize(fgets(buffer, sizeof buffer, pipe));
        pclose(pipe);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(std::filesystem::file_size(exe)));
}
BENCHMARK(BM_Sha1sumOfTheExecutable)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
