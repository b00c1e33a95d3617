#include "platform/dispatch/ThreadLabels.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

namespace wv {
namespace {

// A slot is owned by the thread whose id is in `tid`; `generation` is odd while its owner is
// rewriting the label, so a reader that sees it change (or odd) takes no half-written text.
struct Slot {
    pid_t tid;
    unsigned generation;
    char label[ThreadLabels::kLabelSize];
};

Slot slots[ThreadLabels::kCapacity];

pid_t currentTid() { return static_cast<pid_t>(syscall(SYS_gettid)); }

Slot* find(pid_t tid) {
    for (auto& slot : slots)
        if (__atomic_load_n(&slot.tid, __ATOMIC_ACQUIRE) == tid) return &slot;
    return nullptr;
}

}  // namespace

bool ThreadLabels::set(std::string_view label) {
    const pid_t tid = currentTid();
    Slot* slot = find(tid);
    for (size_t i = 0; slot == nullptr && i < kCapacity; ++i) {
        pid_t expected = 0;
        if (__atomic_compare_exchange_n(&slots[i].tid, &expected, tid, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_RELAXED))
            slot = &slots[i];
    }
    if (slot == nullptr) return false;
    __atomic_add_fetch(&slot->generation, 1, __ATOMIC_ACQ_REL);
    const size_t n = label.size() < kLabelSize - 1 ? label.size() : kLabelSize - 1;
    for (size_t i = 0; i < n; ++i) __atomic_store_n(&slot->label[i], label[i], __ATOMIC_RELAXED);
    __atomic_store_n(&slot->label[n], '\0', __ATOMIC_RELAXED);
    __atomic_add_fetch(&slot->generation, 1, __ATOMIC_ACQ_REL);
    return true;
}

void ThreadLabels::clear() {
    Slot* slot = find(currentTid());
    if (slot == nullptr) return;
    __atomic_add_fetch(&slot->generation, 1, __ATOMIC_ACQ_REL);
    __atomic_store_n(&slot->label[0], '\0', __ATOMIC_RELAXED);
    __atomic_add_fetch(&slot->generation, 1, __ATOMIC_ACQ_REL);
    __atomic_store_n(&slot->tid, 0, __ATOMIC_RELEASE);
}

bool ThreadLabels::copy(pid_t tid, char* out, size_t size) {
    if (out == nullptr || size == 0) return false;
    out[0] = '\0';
    if (tid <= 0) return false;
    const Slot* slot = find(tid);
    if (slot == nullptr) return false;
    // A thread parked in the middle of a rewrite never finishes it: after a few tries the
    // label is given up rather than waited for.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const unsigned before = __atomic_load_n(&slot->generation, __ATOMIC_ACQUIRE);
        if (before & 1u) continue;
        size_t i = 0;
        for (; i + 1 < size && i < kLabelSize; ++i) {
            out[i] = __atomic_load_n(&slot->label[i], __ATOMIC_RELAXED);
            if (out[i] == '\0') break;
        }
        if (i + 1 >= size || i >= kLabelSize) out[i < size ? i : size - 1] = '\0';
        if (__atomic_load_n(&slot->generation, __ATOMIC_ACQUIRE) == before &&
            __atomic_load_n(&slot->tid, __ATOMIC_ACQUIRE) == tid)
            return true;
    }
    out[0] = '\0';
    return false;
}

}  // namespace wv
