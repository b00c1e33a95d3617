// The two crash-time services the table readers call, for the fuzzer alone: the SDK log
// writes nothing and memory is read through the kernel, as at crash time.
#include <sys/uio.h>
#include <unistd.h>

#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {

void QXSDKLog(QXSDKLogLevel, const char*, ...) {}

bool QXUtilityReadMemory(uintptr_t source, void* destination, uint64_t length) {
    if (source < 4096) return false;
    iovec local{destination, length};
    iovec remote{reinterpret_cast<void*>(source), length};
    return process_vm_readv(getpid(), &local, 1, &remote, 1, 0) == ssize_t(length);
}

}  // namespace wv
