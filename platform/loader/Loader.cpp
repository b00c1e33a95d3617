#include "platform/loader/Loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>

namespace wv {
namespace {

struct Known {
    std::string path;
    uintptr_t slide;
};

struct State {
    std::recursive_mutex mutex;
    Loader::Callback added = nullptr;
    Loader::Callback removed = nullptr;
    unsigned long long adds = 0;
    unsigned long long subs = 0;
    std::map<uintptr_t, Known> known;  // by header address
};

State& state() {
    static State* s = new State;  // used from interposed calls at any time, even at exit
    return *s;
}

std::atomic<uint64_t> interposed{0};

uintptr_t headerOf(const dl_phdr_info* info) {
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type == PT_LOAD && ph.p_offset == 0) return info->dlpi_addr + ph.p_vaddr;
    }
    return 0;
}

std::string pathOf(const dl_phdr_info* info, bool first) {
    if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') return info->dlpi_name;
    if (!first) return "";
    // The executable is reported with an empty name.
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

struct ScanContext {
    std::map<uintptr_t, Known> seen;
    unsigned long long adds = 0, subs = 0;
    bool first = true;
};

// Reports additions while walking; removals once the walk has shown what is left.
void scan() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    ScanContext context;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t size, void* data) -> int {
            auto* c = static_cast<ScanContext*>(data);
            State& s = state();
            if (c->first && size >= offsetof(dl_phdr_info, dlpi_subs) + sizeof info->dlpi_subs) {
                c->adds = info->dlpi_adds;
                c->subs = info->dlpi_subs;
            }
            const uintptr_t header = headerOf(info);
            const bool wasFirst = c->first;
            c->first = false;
            if (header == 0) return 0;
            Known known{pathOf(info, wasFirst), info->dlpi_addr};
            c->seen[header] = known;
            if (s.known.count(header) == 0 && s.added != nullptr) {
                LoadedImage image{known.path, header, info->dlpi_addr, info->dlpi_phdr,
                                  info->dlpi_phnum};
                s.added(image);
            }
            return 0;
        },
        &context);
    for (const auto& [header, known] : s.known) {
        if (context.seen.count(header) != 0 || s.removed == nullptr) continue;
        LoadedImage image{known.path, header, known.slide, nullptr, 0};
        s.removed(image);
    }
    s.known = std::move(context.seen);
    s.adds = context.adds;
    s.subs = context.subs;
}

bool countersMoved() {
    struct Counters {
        unsigned long long adds = 0, subs = 0;
    } now;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* c = static_cast<Counters*>(data);
            c->adds = info->dlpi_adds;
            c->subs = info->dlpi_subs;
            return 1;  // the counters are the same in every entry
        },
        &now);
    State& s = state();
    std::lock_guard lock(s.mutex);
    return now.adds != s.adds || now.subs != s.subs;
}

}  // namespace

void Loader::registerCallbacks(Callback added, Callback removed) {
    State& s = state();
    {
        std::lock_guard lock(s.mutex);
        s.added = added;
        s.removed = removed;
        s.known.clear();
    }
    scan();
}

void Loader::unregisterCallbacks() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.added = nullptr;
    s.removed = nullptr;
    s.known.clear();
}

void Loader::rescanIfChanged() {
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        if (s.added == nullptr && s.removed == nullptr) return;
    }
    if (countersMoved()) scan();
}

uint64_t Loader::interposedCalls() { return interposed.load(); }

}  // namespace wv

// The program's own dlopen and dlclose: the real ones, then a rescan. They live in the
// executable, so every call the program and its libraries make comes through here.
extern "C" void* dlopen(const char* file, int mode) noexcept {
    using Real = void* (*)(const char*, int);
    static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "dlopen"));
    wv::interposed.fetch_add(1);
    void* handle = real != nullptr ? real(file, mode) : nullptr;
    if (handle != nullptr) wv::Loader::rescanIfChanged();
    return handle;
}

extern "C" int dlclose(void* handle) noexcept {
    using Real = int (*)(void*);
    static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "dlclose"));
    wv::interposed.fetch_add(1);
    const int result = real != nullptr ? real(handle) : -1;
    if (result == 0) wv::Loader::rescanIfChanged();
    return result;
}
