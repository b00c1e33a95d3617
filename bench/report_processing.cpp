// Crash reports at the next launch: one report of 16 threads of 64 frames, with 100 recorded
// images, symbolicated, serialised and packaged (target: under 100 ms); and 10 MB of record
// files packaged, against the gzip program at level 6 on the same files in the same run
// (target: speed_vs_gzip of 0.8 or more, the gzip time over the packaging time).
#include <benchmark/benchmark.h>
#include <stdio.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "sdk/crash/report/QXFileManager.h"
#include "sdk/crash/report/QXInternalReport.h"
#include "sdk/crash/report/QXPackageReportOperation.h"
#include "sdk/crash/report/QXProcessReportOperation.h"
#include "sdk/crash/report/QXSymbolResolver.h"
#include "sdk/crash/report/tests/ReportTestSupport.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr int kThreads = 16;
constexpr int kFrames = 64;
constexpr size_t kImages = 100;
constexpr size_t kRecordBytes = 10 * 1024 * 1024;
constexpr int kRecordFiles = 10;

fs::path folder() {
    static const fs::path path = [] {
        std::string pattern = (fs::temp_directory_path() / "report_processing-XXXXXX").string();
        return fs::path(mkdtemp(pattern.data()));
    }();
    return path;
}

void writeLines(const fs::path& path, const std::vector<json>& lines) {
    std::ofstream out(path, std::ios::binary);
    for (const auto& line : lines) out << line.dump() << '\n';
}

void writeMetadata(const fs::path& dir, const std::string& identifier) {
    writeLines(dir / "metadata.qxrecord",
               {{{"identity",
                  {{"session_id", identifier}, {"api_key", "KEY"}, {"started_at", 1700000000}}}}});
}

// Return addresses somewhere inside code of this process: functions of the program, the C
// library, the C++ library and zlib, a little way in.
std::vector<uint64_t> codeAddresses() {
    const std::vector<uint64_t> functions = {
        reinterpret_cast<uint64_t>(&writeLines),
        reinterpret_cast<uint64_t>(&codeAddresses),
        reinterpret_cast<uint64_t>(&::fopen),
        reinterpret_cast<uint64_t>(&::qsort),
        reinterpret_cast<uint64_t>(&std::terminate),
        reinterpret_cast<uint64_t>(&wv::QXPackageReportOperation::compressData),
        reinterpret_cast<uint64_t>(&wv::QXInternalReport::readQXFileAtPath),
        reinterpret_cast<uint64_t>(&::mkdtemp),
    };
    std::vector<uint64_t> addresses;
    for (int i = 0; i < kThreads * kFrames; ++i)
        addresses.push_back(functions[size_t(i) % functions.size()] + 5 + uint64_t(i % 7) * 3);
    return addresses;
}

// A report folder as a crashed run of this program would have left it.
fs::path crashedReportTemplate() {
    const fs::path dir = folder() / "template";
    if (fs::exists(dir)) return dir;
    fs::create_directories(dir);
    writeMetadata(dir, "bench-run");

    std::vector<json> images;
    for (const auto& image : wv::test::loadedImages()) images.push_back(wv::test::loadLine(image));
    // The rest were loaded once and are gone from this process: recorded, never resolved.
    for (size_t i = images.size(); i < kImages; ++i) {
        char uuid[41];
        snprintf(uuid, sizeof uuid, "%040zx", i);
        images.push_back({{"load",
                           {{"path", "/usr/lib/gone/lib" + std::to_string(i) + ".so"},
                            {"uuid", uuid},
                            {"base", 0x600000000000ull + i * 0x100000},
                            {"size", 0x80000}}}});
    }
    writeLines(dir / "binary_images.qxrecord", images);

    const auto addresses = codeAddresses();
    json threads = json::array();
    for (int t = 0; t < kThreads; ++t) {
        json stack = json::array();
        for (int f = 0; f < kFrames; ++f) stack.push_back(addresses[size_t(t * kFrames + f)]);
        threads.push_back({{"stacktrace", stack}});
    }
    writeLines(dir / "signal.qxrecord",
               {{{"signal", {{"number", 11}, {"time", 1700000100}}}}, {{"threads", threads}}});
    return dir;
}

void BM_ProcessAndPackageReport(benchmark::State& state) {
    const fs::path source = crashedReportTemplate();
    auto fileManager = std::make_shared<wv::QXFileManager>(folder() / "tree");
    fileManager->prepareForNewLaunch();
    const fs::path dir = fileManager->processingPath() / "bench-run";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(dir);
        fs::copy(source, dir);
        state.ResumeTiming();
        auto report = wv::QXInternalReport::reportWithPath(dir);
        wv::QXProcessReportOperation process(report, std::make_shared<wv::QXSymbolResolver>());
        process.start();
        wv::QXPackageReportOperation package(report, fileManager);
        package.start();
        state.PauseTiming();
        if (!package.finalPath() || !fs::exists(dir / "signal.qxrecord.symbolicated")) {
            state.SkipWithError("the report was not processed and packaged");
            break;
        }
        fs::remove(*package.finalPath());
        state.ResumeTiming();
    }
    state.counters["frames"] = kThreads * kFrames;
    state.counters["images"] = double(kImages);
}
BENCHMARK(BM_ProcessAndPackageReport)->Unit(benchmark::kMillisecond)->Iterations(20);

// Lines like those of the record files: keys, numbers and hex strings, compressible as
// theirs are.
fs::path largeReport() {
    const fs::path dir = folder() / "large";
    if (fs::exists(dir)) return dir;
    fs::create_directories(dir);
    writeMetadata(dir, "large-run");
    std::mt19937_64 random(7);
    for (int f = 0; f < kRecordFiles; ++f) {
        std::ofstream out(dir / ("log_" + std::to_string(f) + ".qxrecord"), std::ios::binary);
        size_t written = 0;
        while (written < kRecordBytes / kRecordFiles) {
            char line[256];
            const int n = snprintf(
                line, sizeof line,
                "{\"log\":{\"time\":%llu,\"value\":\"%016llx%08x\",\"thread\":%u,\"pc\":%llu}}\n",
                static_cast<unsigned long long>(1700000000000ull + written),
                static_cast<unsigned long long>(random()), unsigned(random() % 4096),
                unsigned(random() % 16),
                static_cast<unsigned long long>(0x555555554000ull + random() % 0x100000));
            out.write(line, n);
            written += size_t(n);
        }
    }
    return dir;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_PackageTenMegabytesAgainstGzip(benchmark::State& state) {
    const fs::path dir = largeReport();
    auto fileManager = std::make_shared<wv::QXFileManager>(folder() / "tree-large");
    fileManager->prepareForNewLaunch();
    std::string gzip = "gzip -6 -c";
    for (int f = 0; f < kRecordFiles; ++f)
        gzip += " '" + (dir / ("log_" + std::to_string(f) + ".qxrecord")).string() + "'";
    gzip += " > /dev/null";
    double packaging = 0;
    double program = 0;
    for (auto _ : state) {
        auto report = wv::QXInternalReport::reportWithPath(dir);
        const auto start = std::chrono::steady_clock::now();
        wv::QXPackageReportOperation package(report, fileManager);
        package.start();
        const double elapsed = secondsSince(start);
        if (!package.finalPath()) {
            state.SkipWithError("packaging failed");
            break;
        }
        fs::remove(*package.finalPath());
        const auto gzipStart = std::chrono::steady_clock::now();
        if (std::system(gzip.c_str()) != 0) {
            state.SkipWithError("gzip failed");
            break;
        }
        program += secondsSince(gzipStart);
        packaging += elapsed;
        state.SetIterationTime(elapsed);
    }
    state.counters["gzip_ms"] = program * 1000 / double(state.iterations());
    state.counters["speed_vs_gzip"] = packaging > 0 ? program / packaging : 0;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kRecordBytes));
}
BENCHMARK(BM_PackageTenMegabytesAgainstGzip)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(folder());
    return 0;
}
