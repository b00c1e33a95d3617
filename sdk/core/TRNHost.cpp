#include "sdk/core/TRNHost.h"

#include <sys/utsname.h>

#include <cstdio>
#include <fstream>

namespace wv {

namespace {

// sysctl fills a 128-byte buffer including the terminating NUL.
constexpr size_t kSysctlBufferSize = 128;

std::optional<std::string> firstLineOf(const char* path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    return line;
}

std::optional<std::string> hostModel() {
    if (auto product = firstLineOf("/sys/class/dmi/id/product_name"); product && !product->empty())
        return product;
    struct utsname host;
    if (uname(&host) != 0) return std::nullopt;
    return std::string(host.machine);
}

}  // namespace

TRNOperatingSystemVersion TRNOperatingSystemVersionFromRelease(std::string_view release) {
    int64_t parts[3] = {0, 0, 0};
    size_t i = 0;
    for (int part = 0; part < 3; ++part) {
        if (i >= release.size() || release[i] < '0' || release[i] > '9') break;
        int64_t value = 0;
        while (i < release.size() && release[i] >= '0' && release[i] <= '9') {
            if (value < (int64_t(1) << 40)) value = value * 10 + (release[i] - '0');
            ++i;
        }
        parts[part] = value;
        if (i >= release.size() || release[i] != '.') break;
        ++i;
    }
    return {parts[0], parts[1], parts[2]};
}

uint32_t TRNOperatingSystemVersionCodeForMinor(int64_t minor) {
    switch (minor) {
        case 6:
            return 1060;
        case 7:
            return 1070;
        case 8:
            return 1080;
        case 9:
            return 1090;
        case 10:
            return 101000;
        case 11:
            return 101100;
        case 12:
            return 101200;
        case 13:
            return 101300;
        default:
            return 0;
    }
}

TRNOperatingSystemVersion TRNHostOperatingSystemVersion() {
    struct utsname host;
    if (uname(&host) != 0) return {};
    return TRNOperatingSystemVersionFromRelease(host.release);
}

uint32_t TRNHostOperatingSystemVersionCode() {
    return TRNOperatingSystemVersionCodeForMinor(TRNHostOperatingSystemVersion().minor);
}

std::string TRNHostOSDisplayVersion() {
    const auto v = TRNHostOperatingSystemVersion();
    char text[64];
    std::snprintf(text, sizeof text, "%ld.%ld.%ld", long(v.major), long(v.minor), long(v.patch));
    return text;
}

std::optional<std::string> TRNHostSysctlString(std::string_view name) {
    std::optional<std::string> value;
    if (name == "kern.osversion") {
        value = firstLineOf("/proc/sys/kernel/version");
    } else if (name == "hw.model") {
        value = hostModel();
    }
    if (!value || value->size() + 1 > kSysctlBufferSize) return std::nullopt;
    return value;
}

std::optional<std::string> TRNHostOSBuildVersion() { return TRNHostSysctlString("kern.osversion"); }

std::optional<std::string> TRNHostModel() { return TRNHostSysctlString("hw.model"); }

}  // namespace wv
