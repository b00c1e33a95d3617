#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wv {

// Facts about the host. On Linux the operating-system version is the kernel release that
// uname reports ("6.1.0-18-amd64" is 6.1.0).
struct TRNOperatingSystemVersion {
    int64_t major = 0;
    int64_t minor = 0;
    int64_t patch = 0;
};

TRNOperatingSystemVersion TRNHostOperatingSystemVersion();
// The table's code for the minor version alone (6 -> 1060 ... 13 -> 101300, else 0).
uint32_t TRNHostOperatingSystemVersionCode();
std::string TRNHostOSDisplayVersion();  // "%ld.%ld.%ld"

// The named system value as a text of at most 127 bytes, or none when the host has no such
// value or it is longer. Known names: "kern.osversion" (the kernel's build line from
// /proc/sys/kernel/version) and "hw.model" (the DMI product name, else the machine type).
std::optional<std::string> TRNHostSysctlString(std::string_view name);
std::optional<std::string> TRNHostOSBuildVersion();
std::optional<std::string> TRNHostModel();

// The pure steps of the above, apart so they can be checked on any input.
TRNOperatingSystemVersion TRNOperatingSystemVersionFromRelease(std::string_view release);
uint32_t TRNOperatingSystemVersionCodeForMinor(int64_t minor);

}  // namespace wv
