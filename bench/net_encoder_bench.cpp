// A 1 MiB file part written into a file stream by the multipart encoder, against a plain
// read-and-write copy of the same file, with zlib's gzip of it beside for scale.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/net/FileOutputStream.h"
#include "sdk/core/TRNMultipartMimeStreamEncoder.h"

namespace {

const std::filesystem::path& inputFile() {
    static const std::filesystem::path path = [] {
        auto p = std::filesystem::temp_directory_path() / "wv-bench-part.bin";
        std::string data(1 << 20, '\0');
        std::mt19937 random(7);
        // Half random, half text-like: neither trivially compressible nor incompressible.
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = i % 2 ? static_cast<char>(random()) : static_cast<char>('a' + i % 26);
        std::ofstream(p, std::ios::binary) << data;
        return p;
    }();
    return path;
}

const std::string kOutput = (std::filesystem::temp_directory_path() / "wv-bench-out").string();

std::string readWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string data(std::filesystem::file_size(path), '\0');
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    return data;
}

void BM_PlainCopy(benchmark::State& state) {
    for (auto _ : state) {
        const std::string data = readWhole(inputFile());
        wv::net::FileOutputStream out(kOutput);
        out.open();
        out.write(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        out.close();
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);

void BM_EncodeFilePart(benchmark::State& state) {
    for (auto _ : state) {
        auto stream = std::make_shared<wv::net::FileOutputStream>(kOutput);
        wv::TRNMultipartMimeStreamEncoder encoder(stream, std::nullopt);
        const bool ok = encoder.encode([](wv::TRNMultipartMimeStreamEncoder& e) {
            e.addValue(std::string("com.wovanu.typing"), "app[identifier]");
            e.addFile(inputFile().string(), "report.bin", std::string("application/octet-stream"),
                      "file");
        });
        if (!ok) state.SkipWithError("encoding failed");
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(BM_EncodeFilePart)->Unit(benchmark::kMillisecond);

void BM_GzipFile(benchmark::State& state) {
    for (auto _ : state) {
        const std::string data = readWhole(inputFile());
        gzFile out = gzopen(kOutput.c_str(), "wb");
        gzwrite(out, data.data(), static_cast<unsigned>(data.size()));
        gzclose(out);
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(BM_GzipFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
