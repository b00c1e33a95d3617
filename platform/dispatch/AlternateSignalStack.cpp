#include "platform/dispatch/AlternateSignalStack.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace wv {
namespace {

struct Installed {
    void* mapping = nullptr;
    size_t mappingSize = 0;
    stack_t previous{};

    ~Installed() { release(); }
    void release() {
        if (mapping == nullptr) return;
        stack_t current{};
        // Only the stack we put there is taken away: someone may have replaced it since.
        if (sigaltstack(nullptr, &current) == 0 &&
            current.ss_sp == static_cast<char*>(mapping) + pageSize() &&
            !(current.ss_flags & SS_ONSTACK)) {
            if (previous.ss_sp != nullptr && !(previous.ss_flags & SS_DISABLE)) {
                sigaltstack(&previous, nullptr);
            } else {
                stack_t off{};
                off.ss_flags = SS_DISABLE;
                sigaltstack(&off, nullptr);
            }
            munmap(mapping, mappingSize);
        }
        mapping = nullptr;
    }
    static size_t pageSize() {
        long size = sysconf(_SC_PAGESIZE);
        return size > 0 ? static_cast<size_t>(size) : 4096;
    }
};

thread_local Installed installed;

}  // namespace

bool AlternateSignalStack::installForCurrentThread() {
    if (installed.mapping != nullptr) return true;
    const size_t page = Installed::pageSize();
    const size_t total = page + kSize;
    void* mapping = mmap(nullptr, total, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapping == MAP_FAILED) return false;
    if (mprotect(mapping, page, PROT_NONE) != 0) {
        munmap(mapping, total);
        return false;
    }
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(mapping) + page;
    stack.ss_size = kSize;
    stack_t previous{};
    if (sigaltstack(&stack, &previous) != 0) {
        munmap(mapping, total);
        return false;
    }
    installed.mapping = mapping;
    installed.mappingSize = total;
    installed.previous = previous;
    return true;
}

void AlternateSignalStack::uninstallForCurrentThread() { installed.release(); }

bool AlternateSignalStack::isInstalledForCurrentThread() { return installed.mapping != nullptr; }

}  // namespace wv
