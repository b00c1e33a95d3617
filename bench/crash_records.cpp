// Targets: one unbuffered `threads` line of 16 threads x 64 frames in under 1 ms; a 1 MB record
// file read at 20 MB/s or more.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/QXFileReadSections.h"

namespace {

std::filesystem::path scratch(const char* name) {
    return std::filesystem::temp_directory_path() /
           (std::string(name) + "-" + std::to_string(getpid()));
}

void writeThreadsLine(wv::QXFile* file) {
    wv::QXFileWriteSectionStart(file, "threads");
    wv::QXFileWriteArrayStart(file);
    for (int t = 0; t < 16; ++t) {
        wv::QXFileWriteHashStart(file);
        wv::QXFileWriteHashEntryBoolean(file, "crashed", t == 0);
        wv::QXFileWriteHashKey(file, "registers");
        wv::QXFileWriteHashStart(file);
        for (const char* r :
             {"rax", "rbx", "rcx", "rdx", "rdi", "rsi", "rbp",    "rsp", "r8", "r9", "r10",
              "r11", "r12", "r13", "r14", "r15", "rip", "rflags", "cs",  "fs", "gs"}) {
            wv::QXFileWriteHashEntryUint64(file, r, 0x7ffd12345678ull + t);
        }
        wv::QXFileWriteHashEnd(file);
        wv::QXFileWriteHashKey(file, "stacktrace");
        wv::QXFileWriteArrayStart(file);
        for (int f = 0; f < 64; ++f)
            wv::QXFileWriteArrayEntryUint64(file, 0x100004000ull + 37 * f + t);
        wv::QXFileWriteArrayEnd(file);
        wv::QXFileWriteHashEnd(file);
    }
    wv::QXFileWriteArrayEnd(file);
    wv::QXFileWriteSectionEnd(file);
}

void BM_UnbufferedThreadsLine(benchmark::State& state) {
    // The crash handler opens its record once and writes line after line: one line is timed.
    auto path = scratch("crash-threads");
    wv::QXFile file;
    wv::QXFileInitWithPathMode(&file, path.c_str(), false, false);
    for (auto _ : state) writeThreadsLine(&file);
    state.counters["bytes_per_line"] =
        static_cast<double>(file.offset) / static_cast<double>(state.iterations());
    wv::QXFileClose(&file);
    std::filesystem::remove(path);
}
BENCHMARK(BM_UnbufferedThreadsLine)->Unit(benchmark::kMicrosecond);

void BM_ReadOneMegabyte(benchmark::State& state) {
    auto path = scratch("crash-read");
    {
        std::ofstream out(path, std::ios::binary);
        std::string line =
            R"({"log":{"time":1733800000123,"value":")" + std::string(200, 'a') + "\"}}\n";
        for (size_t written = 0; written < (1u << 20); written += line.size()) out << line;
    }
    int64_t bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        auto sections = wv::QXFileReadSections(path, false);
        benchmark::DoNotOptimize(sections);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadOneMegabyte)->Unit(benchmark::kMillisecond);

}  // namespace
