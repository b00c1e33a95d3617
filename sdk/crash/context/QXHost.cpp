#include "sdk/crash/context/QXHost.h"

#include <pwd.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/foundation/Locale.h"
#include "sdk/core/TRNHost.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

constexpr const char* kFailed = "(failed)";
// The values are read into a 128-byte buffer: longer ones are cut there.
constexpr size_t kValueLimit = 127;

std::string homeFolder() {
    const char* home = getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return {};
}

}  // namespace

uint64_t QXHostGetPageSize() {
    long size = sysconf(_SC_PAGESIZE);
    if (size <= 0) {
        QXLogWarn("sysctlbyname failed while trying to get hw.pagesize\n");
        return 4096;
    }
    return static_cast<uint64_t>(size);
}

void QXHostInitialize() {
    if (!QXIsValidPointer(qxContext)) return;
    qxContext->host.pageSize = QXHostGetPageSize();
    std::string home = homeFolder();
    qxContext->host.documentDirectory =
        home.empty() ? nullptr : QXUtilityDuplicateString(home.c_str());
}

std::string QXHostMachine() {
    utsname names{};
    if (uname(&names) != 0) return kFailed;
    return std::string(names.machine).substr(0, kValueLimit);
}

std::string QXHostCPUBrand(const std::string& cpuinfoPath) {
    std::ifstream in(cpuinfoPath);
    std::string line;
    // x86 names the processor "model name"; arm64 kernels give no name, only "CPU part".
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) != 0 && line.rfind("Hardware", 0) != 0) continue;
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        size_t begin = line.find_first_not_of(" \t", colon + 1);
        if (begin == std::string::npos) continue;
        return line.substr(begin, kValueLimit);
    }
    return kFailed;
}

bool QXHostWriteMetadata(QXFile* file) {
    std::optional<std::string> model = TRNHostModel();
    std::optional<std::string> build = TRNHostOSBuildVersion();
    std::string machine = QXHostMachine();
    std::string cpu = QXHostCPUBrand();
    std::string display = TRNHostOSDisplayVersion();
    std::optional<std::string> locale = Locale::currentIdentifier();
    QXFileWriteSectionStart(file, "host");
    QXFileWriteHashStart(file);
    QXFileWriteHashEntryString(file, "model", model ? model->c_str() : kFailed);
    QXFileWriteHashEntryString(file, "machine", machine.c_str());
    QXFileWriteHashEntryString(file, "cpu", cpu.c_str());
    QXFileWriteHashEntryString(file, "os_build_version", build ? build->c_str() : kFailed);
    QXFileWriteHashEntryString(file, "os_display_version", display.c_str());
    // The reporting service knows the platforms by these names; it has none for Linux.
    QXFileWriteHashEntryString(file, "platform", "mac");
    QXFileWriteHashEntryNSString(file, "locale", locale);
    QXFileWriteHashEnd(file);
    QXFileWriteSectionEnd(file);
    return true;
}

void QXHostWriteDiskUsage(QXFile* file) {
    QXFileWriteSectionStart(file, "storage");
    QXFileWriteHashStart(file);
    struct statfs fs;
    const char* folder = QXIsValidPointer(qxContext) ? qxContext->host.documentDirectory : nullptr;
    if (QXIsValidPointer(folder) && statfs(folder, &fs) == 0) {
        QXFileWriteHashEntryUint64(file, "free", static_cast<uint64_t>(fs.f_bfree) * fs.f_bsize);
        QXFileWriteHashEntryUint64(file, "total", static_cast<uint64_t>(fs.f_blocks) * fs.f_bsize);
    }
    QXFileWriteHashEnd(file);
    QXFileWriteSectionEnd(file);
}

uint32_t QXHostOSVersionCodeForMinor(int64_t minor) {
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
        default:
            return 0;
    }
}

uint32_t QXHostOSVersionCode() {
    return QXHostOSVersionCodeForMinor(TRNHostOperatingSystemVersion().minor);
}

}  // namespace wv
