#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace wv::testing {

// The standard output of a shell command; the test fails on its own if the tool is missing.
inline std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

inline std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The first word of `sha1sum`/`sha256sum` over the exact bytes of `text`.
inline std::string toolDigest(const std::string& tool, const std::string& text) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("wv-digest-" + std::to_string(::getpid()) + ".bin");
    std::ofstream(path, std::ios::binary) << text;
    std::string out = commandOutput(tool + " " + shellQuoted(path.string()));
    std::filesystem::remove(path);
    return out.substr(0, out.find(' '));
}

inline std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline std::filesystem::path fixture(const std::string& name) {
    return std::filesystem::path(WV_FIXTURES) / name;
}

}  // namespace wv::testing
