// The crash kit's start on the main thread: the report tree, the crash handlers, the record of
// the loaded images (about 80, as many as the application has) and the run's metadata. The
// kit starts once per process, so every iteration is a fresh process (this program again,
// with "--one-start"), which loads its images first and then times the start alone.
// Target: under 30 ms, also with an earlier run's report waiting (not urgent: it goes to the
// work queue). The third case times the whole SDK start as the application makes it, the kit
// core and the analytics kit included: under 40 ms.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <link.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/plist/Value.h"
#include "sdk/analytics/Plurio.h"
#include "sdk/core/Tarnel.h"
#include "sdk/crash/kit/Quellix.h"

namespace {

constexpr int kImages = 80;

int countImages() {
    int count = 0;
    dl_iterate_phdr(
        [](dl_phdr_info*, size_t, void* data) {
            ++*static_cast<int*>(data);
            return 0;
        },
        &count);
    return count;
}

// Libraries of the application's kind, with their dependencies, until the process has about
// as many images as the application.
void loadImages() {
    const char* libraries[] = {
        "libQt6Widgets.so.6", "libQt6Multimedia.so.6", "libQt6Network.so.6", "libcurl.so.4",
        "libsqlite3.so.0",    "libplist-2.0.so.3",     "libxml2.so.2",       "libarchive.so.13",
        "libpq.so.5",         "libQt6OpenGL.so.6",     "libQt6Sql.so.6",     "libQt6Xml.so.6",
    };
    for (const char* library : libraries) {
        if (countImages() >= kImages) break;
        dlopen(library, RTLD_NOW | RTLD_GLOBAL);
    }
}

// The child: times Quellix's start (or, with `wholeSdk`, the SDK's as the application starts
// it) and prints the nanoseconds and the image count.
int oneStart(bool wholeSdk) {
    loadImages();
    const int images = countImages();
    // The kit core is made and has read its API key before it starts its kits: not the crash
    // kit's time.
    if (!wholeSdk) wv::Tarnel::sharedSDK().APIKey();
    // Processor time of all the process's threads beside the wall time: on a loaded machine
    // the wall time also counts the waits for a processor.
    auto cpu = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return int64_t(t.tv_sec) * 1000000000LL + t.tv_nsec;
    };
    const int64_t cpuBegin = cpu();
    const auto begin = std::chrono::steady_clock::now();
    if (wholeSdk) {
        wv::Plurio::registerKitClass();
        wv::Tarnel::with({&wv::Quellix::kitClass()});
    } else {
        wv::Quellix::sharedInstance()->start();
    }
    const auto end = std::chrono::steady_clock::now();
    const int64_t cpuEnd = cpu();
    std::printf("start %lld cpu %lld images %d\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(end - begin).count()),
                static_cast<long long>(cpuEnd - cpuBegin), images);
    std::fflush(stdout);
    std::_Exit(wv::Quellix::sharedInstance()->isQuellixStarted() ? 0 : 1);
}

void writeBundle(const std::filesystem::path& bundle) {
    std::filesystem::create_directories(bundle);
    wv::plist::Dictionary tarnel;
    tarnel.set("APIKey", wv::plist::Value("BENCH-KEY"));
    wv::plist::Array kits;
    wv::plist::Dictionary quellix;
    quellix.set("KitInfo", wv::plist::Value(wv::plist::Dictionary{}));
    quellix.set("KitName", wv::plist::Value("Quellix"));
    kits.push_back(wv::plist::Value(quellix));
    tarnel.set("Kits", wv::plist::Value(kits));
    wv::plist::Dictionary info;
    info.set("CFBundleIdentifier", wv::plist::Value("com.wovanu.kit-bench"));
    info.set("CFBundleShortVersionString", wv::plist::Value("1.0"));
    info.set("CFBundleVersion", wv::plist::Value("1"));
    info.set("Tarnel", wv::plist::Value(tarnel));
    wv::plist::writeFile(bundle / "Info.plist", wv::plist::Value(info));
}

// An earlier run's crash, as its record files left it, waiting in the tree's active folder.
void writeEarlierReport(const std::filesystem::path& cache) {
    const auto folder =
        cache / "com.quellix.data" / "com.wovanu.kit-bench" / "v3" / "active" / "earlier-run";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "metadata.qxrecord")
        << R"({"identity":{"api_key":"BENCH-KEY","started_at":1700000000,"session_id":"earlier-run"}})"
        << "\n";
    std::ofstream(folder / "signal.qxrecord")
        << R"({"signal":{"number":11,"name":"SIGSEGV","time":1700000005}})" << "\n";
}

struct Outcome {
    double seconds = -1;
    double cpuSeconds = 0;
    int images = 0;
};

Outcome runOnce(const std::string& self, bool earlierReport, bool wholeSdk) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("kit_start-" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "data");
    std::filesystem::create_directories(folder / "cache");
    writeBundle(folder / "bundle");
    if (earlierReport) writeEarlierReport(folder / "cache");
    int out[2];
    if (pipe(out) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
        setenv("WOVANU_BUNDLE_DIR", (folder / "bundle").c_str(), 1);
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(self.c_str(), self.c_str(), wholeSdk ? "--one-sdk-start" : "--one-start",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    std::filesystem::remove_all(folder);
    long long nanoseconds = 0, cpuNanoseconds = 0;
    int images = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text.c_str(), "start %lld cpu %lld images %d", &nanoseconds, &cpuNanoseconds,
                    &images) != 3) {
        return {};
    }
    return {double(nanoseconds) / 1e9, double(cpuNanoseconds) / 1e9, images};
}

std::string selfPath;

void BM_KitStart(benchmark::State& state) {
    const bool earlierReport = state.range(0) == 1;
    const bool wholeSdk = state.range(0) == 2;
    int images = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        const Outcome outcome = runOnce(selfPath, earlierReport, wholeSdk);
        if (outcome.seconds < 0) {
            state.SkipWithError("the kit did not start in the child");
            break;
        }
        images = outcome.images;
        cpuSeconds += outcome.cpuSeconds;
        state.SetIterationTime(outcome.seconds);
    }
    state.counters["images"] = images;
    state.counters["cpu_ms"] =
        state.iterations() ? cpuSeconds * 1000.0 / double(state.iterations()) : 0.0;
    state.SetLabel(wholeSdk        ? "whole SDK start"
                   : earlierReport ? "earlier report waiting"
                                   : "fresh");
}
BENCHMARK(BM_KitStart)->Arg(0)->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--one-start") return oneStart(false);
    if (argc > 1 && std::string(argv[1]) == "--one-sdk-start") return oneStart(true);
    selfPath = std::filesystem::read_symlink("/proc/self/exe").string();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
