#include "sdk/analytics/PLRCrashMetadata.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace wv {

PLRCrashMetadata::PLRCrashMetadata(nlohmann::ordered_json dictionary)
    : raw_(dictionary.is_object() ? std::move(dictionary) : nlohmann::ordered_json::object()) {}

std::optional<nlohmann::ordered_json> PLRCrashMetadata::readSerializedDictionaryFromURL(
    const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream buffer;
    buffer << in.rdbuf();
    auto parsed = nlohmann::ordered_json::parse(buffer.str(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
    return parsed;
}

bool PLRCrashMetadata::writeSerializedDictionary(const nlohmann::ordered_json& dictionary,
                                                 const std::filesystem::path& path) {
    const std::string text =
        dictionary.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::string temp = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n <= 0) break;
        written += size_t(n);
    }
    const bool ok = written == text.size() && fsync(fd) == 0;
    if (close(fd) != 0 || !ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace wv
