#include "sdk/crash/capture/QXThreadList.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstring>

#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/QXSDKLog.h"

namespace wv {
namespace {

enum SlotState : uint32_t { kEmpty = 0, kRequested = 1, kParking = 2, kParked = 3 };

struct ParkSlot {
    pid_t tid;
    uint32_t state;
    QXMachineContext context;
};

ParkSlot slots[kQXMaxThreads];
uint32_t slotCount = 0;
// Bumped by every release; a parked thread waits while it still holds the value it saw
// before it claimed its slot, so no wake-up can be missed.
uint32_t releaseGeneration = 0;
int parkSignal = 0;
bool parkInstalled = false;

long futex(uint32_t* word, int op, uint32_t value, const timespec* timeout) {
    return syscall(SYS_futex, word, op, value, timeout, nullptr, 0);
}

void parkHandler(int, siginfo_t*, void* uc) {
    const int savedErrno = errno;
    const uint32_t generation = __atomic_load_n(&releaseGeneration, __ATOMIC_ACQUIRE);
    const pid_t self = QXThreadListCurrentTid();
    const uint32_t count = __atomic_load_n(&slotCount, __ATOMIC_ACQUIRE);
    for (uint32_t i = 0; i < count; ++i) {
        ParkSlot& slot = slots[i];
        if (__atomic_load_n(&slot.tid, __ATOMIC_ACQUIRE) != self) continue;
        uint32_t expected = kRequested;
        if (!__atomic_compare_exchange_n(&slot.state, &expected, kParking, false, __ATOMIC_ACQ_REL,
                                         __ATOMIC_ACQUIRE))
            break;
        QXMachineContextFromUContext(static_cast<const ucontext_t*>(uc), &slot.context);
        expected = kParking;
        __atomic_compare_exchange_n(&slot.state, &expected, kParked, false, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE);
        while (__atomic_load_n(&releaseGeneration, __ATOMIC_ACQUIRE) == generation)
            futex(&releaseGeneration, FUTEX_WAIT_PRIVATE, generation, nullptr);
        break;
    }
    errno = savedErrno;
}

int64_t nowNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

bool allAnswered() {
    const uint32_t count = __atomic_load_n(&slotCount, __ATOMIC_ACQUIRE);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t state = __atomic_load_n(&slots[i].state, __ATOMIC_ACQUIRE);
        if (state == kRequested || state == kParking) return false;
    }
    return true;
}

}  // namespace

bool QXThreadListInstallParkHandler() {
    // The highest real-time signals are the ones least likely to be claimed by a library.
    parkSignal = SIGRTMAX - 1;
    struct sigaction action {};
    action.sa_sigaction = parkHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    if (sigaction(parkSignal, &action, nullptr) != 0) {
        QXLogWarn("Unable to install the thread park handler (%d)\n", errno);
        return false;
    }
    __atomic_store_n(&parkInstalled, true, __ATOMIC_RELEASE);
    return true;
}

bool QXThreadListParkHandlerInstalled() {
    return __atomic_load_n(&parkInstalled, __ATOMIC_ACQUIRE);
}

int QXThreadListParkSignal() { return parkSignal; }

pid_t QXThreadListCurrentTid() { return static_cast<pid_t>(syscall(SYS_gettid)); }

uint32_t QXThreadListRead(pid_t* out, uint32_t capacity) {
    if (out == nullptr || capacity == 0) return 0;
    const int fd = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        QXLogWarn("Error: unable to list the task's threads (%d)\n", errno);
        return 0;
    }
    uint32_t count = 0;
    alignas(8) char buffer[4096];
    for (;;) {
        const long n = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n <= 0) break;
        for (long offset = 0; offset < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            if (entry->d_reclen == 0) break;
            int64_t tid = 0;
            const char* c = entry->d_name;
            if (*c < '0' || *c > '9') continue;
            for (; *c >= '0' && *c <= '9'; ++c) tid = tid * 10 + (*c - '0');
            if (*c != '\0' || tid <= 0 || tid > INT32_MAX) continue;
            if (count < capacity) out[count++] = static_cast<pid_t>(tid);
        }
    }
    close(fd);
    return count;
}

bool QXThreadListPark(const pid_t* threads, uint32_t count, pid_t self) {
    if (!QXThreadListParkHandlerInstalled()) {
        // Without our handler the park signal's default action would kill the process.
        QXLogWarn("Error: threads cannot be parked without the park handler\n");
        return count <= 1;
    }
    const pid_t pid = getpid();
    uint32_t used = 0;
    for (uint32_t i = 0; i < count && used < kQXMaxThreads; ++i) {
        if (threads[i] == self) continue;
        slots[used].tid = threads[i];
        __atomic_store_n(&slots[used].state, kRequested, __ATOMIC_RELEASE);
        ++used;
    }
    __atomic_store_n(&slotCount, used, __ATOMIC_RELEASE);
    bool all = true;
    for (uint32_t i = 0; i < used; ++i) {
        if (syscall(SYS_tgkill, pid, slots[i].tid, parkSignal) != 0) {
            __atomic_store_n(&slots[i].state, kEmpty, __ATOMIC_RELEASE);
            all = false;
        }
    }
    const int64_t deadline = nowNanoseconds() + kQXParkWaitNanoseconds;
    while (!allAnswered() && nowNanoseconds() < deadline) {
        timespec pause{0, 200'000};
        nanosleep(&pause, nullptr);
    }
    for (uint32_t i = 0; i < used; ++i) {
        if (__atomic_load_n(&slots[i].state, __ATOMIC_ACQUIRE) != kParked) {
            QXLogWarn("Thread %d did not park\n", slots[i].tid);
            all = false;
        }
    }
    return all;
}

bool QXThreadListParkedContext(pid_t thread, QXMachineContext* out) {
    if (out == nullptr) return false;
    const uint32_t count = __atomic_load_n(&slotCount, __ATOMIC_ACQUIRE);
    for (uint32_t i = 0; i < count; ++i) {
        if (slots[i].tid != thread) continue;
        if (__atomic_load_n(&slots[i].state, __ATOMIC_ACQUIRE) != kParked) return false;
        memcpy(out, &slots[i].context, sizeof *out);
        return true;
    }
    return false;
}

bool QXThreadListResume() {
    const uint32_t count = __atomic_load_n(&slotCount, __ATOMIC_ACQUIRE);
    // Slots first: a late handler then finds nothing to claim, and one that claimed its slot
    // already has read the old generation and sees it move below.
    for (uint32_t i = 0; i < count; ++i)
        __atomic_store_n(&slots[i].state, kEmpty, __ATOMIC_RELEASE);
    __atomic_add_fetch(&releaseGeneration, 1, __ATOMIC_ACQ_REL);
    futex(&releaseGeneration, FUTEX_WAKE_PRIVATE, INT32_MAX, nullptr);
    return true;
}

void QXThreadListName(pid_t thread, char* out, uint64_t size) {
    if (out == nullptr || size == 0) return;
    out[0] = '\0';
    char path[64] = "/proc/self/task/";
    char digits[21];
    const char* number = QXFileUInt64ToString(static_cast<uint64_t>(thread), 10, digits);
    size_t n = strlen(path);
    for (const char* c = number; *c && n < sizeof path - 6; ++c) path[n++] = *c;
    memcpy(path + n, "/comm", 6);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    const ssize_t got = read(fd, out, size - 1);
    close(fd);
    if (got <= 0) {
        out[0] = '\0';
        return;
    }
    size_t end = static_cast<size_t>(got);
    while (end > 0 && (out[end - 1] == '\n' || out[end - 1] == '\0')) --end;
    out[end] = '\0';
}

}  // namespace wv
