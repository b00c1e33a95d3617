#include "sdk/crash/context/QXProcess.h"

#include <fstream>

#include "sdk/crash/context/QXSDKLog.h"

namespace wv {

bool QXProcessDebuggerAttachedFromStatus(const std::string& statusPath) {
    std::ifstream in(statusPath);
    std::string line;
    while (in && std::getline(in, line)) {
        if (line.rfind("TracerPid:", 0) != 0) continue;
        size_t digit = line.find_first_not_of(" \t", 10);
        if (digit == std::string::npos) break;
        return line.compare(digit, std::string::npos, "0") != 0;
    }
    QXLogWarn("sysctl failed while trying to get kinfo_proc\n");
    return false;
}

bool QXProcessDebuggerAttached() {
    return QXProcessDebuggerAttachedFromStatus("/proc/self/status");
}

}  // namespace wv
