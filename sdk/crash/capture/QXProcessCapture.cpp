#include "sdk/crash/capture/QXProcessCapture.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>

#include "platform/dispatch/ThreadLabels.h"
#include "sdk/crash/capture/QXThreadList.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/unwind/QXUnwind.h"

namespace wv {
namespace {

pid_t threadList[kQXMaxThreads];

void writeRegisters(QXFile* file, const QXMachineContextX86_64& c) {
    QXFileWriteHashKey(file, "registers");
    QXFileWriteHashStart(file);
    const struct {
        const char* name;
        uint64_t value;
    } registers[] = {{"rax", c.rax}, {"rbx", c.rbx},       {"rcx", c.rcx}, {"rdx", c.rdx},
                     {"rdi", c.rdi}, {"rsi", c.rsi},       {"rbp", c.rbp}, {"rsp", c.rsp},
                     {"r8", c.r8},   {"r9", c.r9},         {"r10", c.r10}, {"r11", c.r11},
                     {"r12", c.r12}, {"r13", c.r13},       {"r14", c.r14}, {"r15", c.r15},
                     {"rip", c.rip}, {"rflags", c.rflags}, {"cs", c.cs},   {"fs", c.fs},
                     {"gs", c.gs}};
    for (const auto& r : registers) QXFileWriteHashEntryUint64(file, r.name, r.value);
    QXFileWriteHashEnd(file);
}

void writeRegisters(QXFile* file, const QXMachineContextArm64& c) {
    static const char* const names[] = {"x0",  "x1",  "x2",  "x3",  "x4",  "x5",  "x6",  "x7",
                                        "x8",  "x9",  "x10", "x11", "x12", "x13", "x14", "x15",
                                        "x16", "x17", "x18", "x19", "x20", "x21", "x22", "x23",
                                        "x24", "x25", "x26", "x27", "x28"};
    QXFileWriteHashKey(file, "registers");
    QXFileWriteHashStart(file);
    for (int i = 0; i < 29; ++i) QXFileWriteHashEntryUint64(file, names[i], c.x[i]);
    QXFileWriteHashEntryUint64(file, "fp", c.fp);
    QXFileWriteHashEntryUint64(file, "lr", c.lr);
    QXFileWriteHashEntryUint64(file, "sp", c.sp);
    QXFileWriteHashEntryUint64(file, "pc", c.pc);
    QXFileWriteHashEntryUint64(file, "cpsr", c.cpsr);
    QXFileWriteHashEnd(file);
}

// Reads a small /proc file whole into `buffer`; false when it cannot be read.
bool readProcFile(const char* path, char* buffer, size_t size) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    size_t filled = 0;
    while (filled + 1 < size) {
        const ssize_t n = read(fd, buffer + filled, size - 1 - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        filled += static_cast<size_t>(n);
    }
    close(fd);
    buffer[filled] = '\0';
    return filled > 0;
}

const char* skipSpaces(const char* p) {
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

const char* readNumber(const char* p, uint64_t* value) {
    uint64_t v = 0;
    const char* start = p;
    for (; *p >= '0' && *p <= '9'; ++p) v = v * 10 + uint64_t(*p - '0');
    *value = v;
    return p == start ? nullptr : p;
}

uint64_t pageSize() {
    if (QXIsValidPointer(qxContext) && qxContext->host.pageSize != 0)
        return qxContext->host.pageSize;
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? uint64_t(size) : 4096;
}

}  // namespace

bool QXProcessInit(QXProcess* process, pid_t crashedThread, const ucontext_t* signalContext) {
    if (process == nullptr) return false;
    process->task = getpid();
    process->handlerThread = QXThreadListCurrentTid();
    process->crashedThread = crashedThread;
    process->signalContext =
        QXIsValidPointer(signalContext) ? reinterpret_cast<uint64_t>(signalContext) : 0;
    process->threads = threadList;
    process->threadCount = QXThreadListRead(threadList, kQXMaxThreads);
    if (process->threadCount == 0) {
        QXLogWarn("Error: unable to get task threads\n");
        return false;
    }
    return true;
}

bool QXProcessSuspendAllOtherThreads(QXProcess* process) {
    if (process == nullptr) return false;
    if (process->threadCount == 0) return true;
    return QXThreadListPark(process->threads, process->threadCount, process->handlerThread);
}

bool QXProcessResumeAllOtherThreads(QXProcess* process) {
    if (process == nullptr) return false;
    return QXThreadListResume();
}

__attribute__((noinline)) bool QXProcessGetThreadState(const QXProcess* process, pid_t thread,
                                                       QXMachineContext* out) {
    if (!QXIsValidPointer(out)) {
        QXLogError("invalid context supplied\n");
        return false;
    }
    if (process == nullptr) return false;
    if (thread == process->crashedThread && process->signalContext >= kQXInvalidAddressLimit) {
        return QXMachineContextFromUContext(
            reinterpret_cast<const ucontext_t*>(process->signalContext), out);
    }
    if (thread == process->handlerThread) {
        QXLogWarn("Faking current thread\n");
        memset(out, 0, sizeof *out);
        const auto frame = reinterpret_cast<uint64_t>(__builtin_frame_address(0));
        QXMachineContextSetPC(out, reinterpret_cast<uint64_t>(__builtin_return_address(0)));
        QXMachineContextSetFP(out, frame);
        QXMachineContextSetSP(out, frame + 16);
        return true;
    }
    if (QXThreadListParkedContext(thread, out)) return true;
    QXLogError("failed to get thread state\n");
    return false;
}

void QXProcessRecordThreadStack(QXFile* file, const QXMachineContext& context) {
    writeRegisters(file, context);
    QXFileWriteHashKey(file, "stacktrace");
    QXFileWriteArrayStart(file);
    QXUnwindCursor cursor;
    uint64_t repeated = 0;
    uint32_t count = 0;
    const int32_t level =
        QXIsValidPointer(qxWritableContext) ? qxWritableContext->logMinimumLevel : 1;
    if (!QXUnwindInit(&cursor, context)) {
        QXLogWarn("unable to init unwind context\n");
    } else {
        while (QXUnwindNextFrame(&cursor)) {
            const uint64_t pc = QXUnwindGetPC(&cursor);
            const uint32_t n = QXUnwindGetRepeatCount(&cursor);
            if (repeated != 0 && pc == repeated) {
                count = n;
            } else if (repeated == 0 && n >= 10) {
                QXLogWarn("Possible infinite recursion - suppressing logging\n");
                if (QXIsValidPointer(qxWritableContext))
                    qxWritableContext->logMinimumLevel = QXSDKLogLevelWarn;
                repeated = pc;
            } else {
                if (repeated != 0 && QXIsValidPointer(qxWritableContext))
                    qxWritableContext->logMinimumLevel = level;
                QXFileWriteArrayEntryUint64(file, pc);
            }
        }
    }
    QXFileWriteArrayEnd(file);
    if (repeated != 0) {
        QXFileWriteHashEntryUint64(file, "repeated_pc", repeated);
        QXFileWriteHashEntryUint64(file, "repeat_count", count);
    }
    if (QXIsValidPointer(qxWritableContext)) qxWritableContext->logMinimumLevel = level;
}

bool QXProcessRecordAllThreads(const QXProcess* process, QXFile* file) {
    if (process == nullptr || file == nullptr) return false;
    const uint32_t count = process->threadCount;
    QXFileWriteSectionStart(file, "threads");
    QXFileWriteArrayStart(file);
    for (uint32_t i = 0; i < count; ++i) {
        const pid_t thread = process->threads != nullptr ? process->threads[i] : 0;
        QXLogInfo("recording thread %d data\n", int32_t(i));
        QXMachineContext context;
        QXFileWriteHashStart(file);
        if (QXProcessGetThreadState(process, thread, &context)) {
            QXProcessRecordThreadStack(file, context);
        } else {
            // A thread that would not park (or ended) keeps its place in the list, so every
            // other array of the record still lines up with this one.
            QXLogError("unable to get thread state\n");
            memset(&context, 0, sizeof context);
            writeRegisters(file, context);
            QXFileWriteHashKey(file, "stacktrace");
            QXFileWriteArrayStart(file);
            QXFileWriteArrayEnd(file);
        }
        if (thread == process->crashedThread) QXFileWriteHashEntryBoolean(file, "crashed", true);
        QXFileWriteHashEnd(file);
    }
    QXFileWriteArrayEnd(file);
    QXFileWriteSectionEnd(file);
    QXLogInfo("completed recording all thread data\n");
    return true;
}

bool QXProcessRecordRuntimeInfo(const QXProcess*, QXFile* file) {
    // No message-sending runtime and no crash-information sections exist on Linux: the line
    // keeps its shape for the reader.
    QXFileWriteSectionStart(file, "runtime");
    QXFileWriteHashStart(file);
    QXFileWriteHashEntryString(file, "objc_selector", "");
    QXFileWriteHashKey(file, "crash_info_entries");
    QXFileWriteArrayStart(file);
    QXFileWriteArrayEnd(file);
    QXFileWriteHashEnd(file);
    QXFileWriteSectionEnd(file);
    return true;
}

bool QXProcessRecordDispatchQueueNames(const QXProcess* process, QXFile* file) {
    QXFileWriteSectionStart(file, "dispatch_queue_names");
    QXFileWriteArrayStart(file);
    for (uint32_t i = 0; process != nullptr && i < process->threadCount; ++i) {
        char label[ThreadLabels::kLabelSize];
        ThreadLabels::copy(process->threads[i], label, sizeof label);
        QXFileWriteArrayEntryString(file, label);
    }
    QXFileWriteArrayEnd(file);
    QXFileWriteSectionEnd(file);
    return true;
}

bool QXProcessRecordThreadNames(const QXProcess* process, QXFile* file) {
    QXFileWriteSectionStart(file, "thread_names");
    QXFileWriteArrayStart(file);
    for (uint32_t i = 0; process != nullptr && i < process->threadCount; ++i) {
        char name[64];
        QXThreadListName(process->threads[i], name, sizeof name);
        QXFileWriteArrayEntryString(file, name);
    }
    QXFileWriteArrayEnd(file);
    QXFileWriteSectionEnd(file);
    return true;
}

bool QXProcessParseMemoryUsage(const char* text, uint64_t* active, uint64_t* inactive,
                               uint64_t* wired, uint64_t* freeMemory) {
    if (text == nullptr) return false;
    const struct {
        const char* key;
        uint64_t* out;
    } wanted[] = {{"Active:", active},
                  {"Inactive:", inactive},
                  {"Unevictable:", wired},
                  {"MemFree:", freeMemory}};
    int found = 0;
    for (const char* line = text; *line != '\0';) {
        for (const auto& w : wanted) {
            const size_t n = strlen(w.key);
            if (strncmp(line, w.key, n) != 0) continue;
            uint64_t kilobytes = 0;
            if (readNumber(skipSpaces(line + n), &kilobytes) != nullptr) {
                *w.out = kilobytes * 1024;
                ++found;
            }
        }
        const char* next = strchr(line, '\n');
        if (next == nullptr) break;
        line = next + 1;
    }
    return found == 4;
}

bool QXProcessGetMemoryUsage(uint64_t* active, uint64_t* inactive, uint64_t* wired,
                             uint64_t* freeMemory) {
    if (active == nullptr || inactive == nullptr || wired == nullptr || freeMemory == nullptr) {
        QXLogWarn("Invalid pointers\n");
        return false;
    }
    char text[8192];
    if (!readProcFile("/proc/meminfo", text, sizeof text) ||
        !QXProcessParseMemoryUsage(text, active, inactive, wired, freeMemory)) {
        QXLogWarn("Failed to get vm statistics\n");
        return false;
    }
    return true;
}

bool QXProcessGetInfo(pid_t, uint64_t* virtualBytes, uint64_t* residentBytes,
                      uint64_t* userMicroseconds, uint64_t* systemMicroseconds) {
    if (virtualBytes == nullptr || residentBytes == nullptr || userMicroseconds == nullptr ||
        systemMicroseconds == nullptr) {
        QXLogWarn("Invalid pointers\n");
        return false;
    }
    char text[256];
    uint64_t sizePages = 0, residentPages = 0;
    const char* p = nullptr;
    if (readProcFile("/proc/self/statm", text, sizeof text)) p = readNumber(text, &sizePages);
    if (p != nullptr) p = readNumber(skipSpaces(p), &residentPages);
    rusage usage{};
    if (p == nullptr || getrusage(RUSAGE_SELF, &usage) != 0) {
        QXLogWarn("Failed to get task info\n");
        return false;
    }
    *virtualBytes = sizePages * pageSize();
    *residentBytes = residentPages * pageSize();
    *userMicroseconds =
        uint64_t(usage.ru_utime.tv_sec) * 1000000 + uint64_t(usage.ru_utime.tv_usec);
    *systemMicroseconds =
        uint64_t(usage.ru_stime.tv_sec) * 1000000 + uint64_t(usage.ru_stime.tv_usec);
    return true;
}

bool QXProcessRecordStats(const QXProcess* process, QXFile* file) {
    uint64_t active = 0, inactive = 0, wired = 0, freeMemory = 0;
    if (!QXProcessGetMemoryUsage(&active, &inactive, &wired, &freeMemory)) {
        QXLogWarn("Unable to get process memory usage\n");
        return false;
    }
    uint64_t virtualBytes = 0, residentBytes = 0, user = 0, system = 0;
    if (!QXProcessGetInfo(process != nullptr ? process->task : 0, &virtualBytes, &residentBytes,
                          &user, &system)) {
        QXLogWarn("Unable to get process stats\n");
        return false;
    }
    QXFileWriteSectionStart(file, "process_stats");
    QXFileWriteHashStart(file);
    QXFileWriteHashEntryUint64(file, "active", active);
    QXFileWriteHashEntryUint64(file, "inactive", inactive);
    QXFileWriteHashEntryUint64(file, "wired", wired);
    QXFileWriteHashEntryUint64(file, "freeMem", freeMemory);
    QXFileWriteHashEntryUint64(file, "free_mem", freeMemory);
    QXFileWriteHashEntryUint64(file, "virtual", virtualBytes);
    QXFileWriteHashEntryUint64(file, "resident", residentBytes);
    QXFileWriteHashEntryUint64(file, "user_time", user);
    QXFileWriteHashEntryUint64(file, "sys_time", system);
    QXFileWriteHashEnd(file);
    QXFileWriteSectionEnd(file);
    return true;
}

bool QXProcessDestroy(QXProcess*) { return false; }

}  // namespace wv
