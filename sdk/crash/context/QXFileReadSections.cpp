#include "sdk/crash/context/QXFileReadSections.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

std::optional<std::string> readWhole(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(bytes).str();
}

}  // namespace

std::optional<std::vector<nlohmann::json>> QXFileReadSections(
    const std::optional<std::filesystem::path>& path, bool removeOnFailure,
    const QXFileSectionTransform& transform) {
    if (!path || path->empty()) {
        QXLogError("Error: input path is invalid\n");
        return std::nullopt;
    }
    std::optional<std::string> text = readWhole(*path);
    if (!text) {
        // unlink, not remove: a directory in the file's place is not ours to delete.
        if (removeOnFailure) ::unlink(path->c_str());
        QXLogWarn("Unable to read file %s\n", path->c_str());
        return std::nullopt;
    }
    std::vector<nlohmann::json> sections;
    std::string_view rest(*text);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
        if (object.is_discarded() || !object.is_object()) continue;
        if (transform) {
            std::optional<nlohmann::json> replaced = transform(object);
            if (replaced) sections.push_back(std::move(*replaced));
        } else {
            sections.push_back(std::move(object));
        }
    }
    return sections;
}

std::string QXFileHexEncodeString(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(text.size() * 2);
    for (unsigned char c : text) {
        hex.push_back(kDigits[c >> 4]);
        hex.push_back(kDigits[c & 0xf]);
    }
    return hex;
}

std::optional<std::string> QXFileHexDecodeString(std::string_view hexText) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hexText.size(); i += 2) {
        uint8_t high = QXUtilityHexDigitValue(hexText[i]);
        uint8_t low = QXUtilityHexDigitValue(hexText[i + 1]);
        if (high > 15 || low > 15) break;
        bytes.push_back(static_cast<char>((high << 4) | low));
    }
    if (!QXIsValidUTF8(bytes)) return std::nullopt;
    return bytes;
}

bool QXIsValidUTF8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        size_t n;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xe0) == 0xc0) {
            n = 1;
            cp = c & 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            n = 2;
            cp = c & 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            n = 3;
            cp = c & 0x07;
        } else
            return false;
        if (i + n >= bytes.size()) return false;
        for (size_t k = 1; k <= n; ++k) {
            unsigned char d = static_cast<unsigned char>(bytes[i + k]);
            if ((d & 0xc0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3f);
        }
        // Overlong forms, surrogates and values past the last code point are not UTF-8.
        static constexpr uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMinimum[n] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
        i += n + 1;
    }
    return true;
}

}  // namespace wv
