#pragma once

#include <link.h>

#include <cstdint>
#include <string>

namespace wv {

// One image as the loader reports it. `phdr` is valid only during an add notification: by
// the time a removal is reported the image is gone, so removal gives path and addresses only.
struct LoadedImage {
    std::string path;
    uintptr_t header;  // the ELF header's address
    uintptr_t slide;   // the loader's load bias
    const ElfW(Phdr) * phdr;
    uint16_t phnum;
};

// The loader's add and remove notifications. Linux has none, so registration reports every
// image loaded so far, and the program's own dlopen and dlclose (interposed in the executable,
// forwarding to the real ones) rescan the loader's list whenever its add or remove counters
// moved. Images loaded some other way are seen at the next rescan.
// Notifications are serialised; a callback must not call dlopen or dlclose.
class Loader {
  public:
    using Callback = void (*)(const LoadedImage& image);

    // Calls `added` at once for every image already loaded; later changes go to both.
    static void registerCallbacks(Callback added, Callback removed);
    static void unregisterCallbacks();
    // Compares the loader's counters with those last seen and reports the difference.
    static void rescanIfChanged();
    // How often the interposed dlopen and dlclose ran (tests).
    static uint64_t interposedCalls();
};

}  // namespace wv
