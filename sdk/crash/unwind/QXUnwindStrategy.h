#pragma once

// How one image's own unwind tables move a cursor to the calling frame. The strategy is
// chosen by the format of the image (the magic at its base): ELF images use `.eh_frame_hdr`
// and `.eh_frame`, Mach-O images (test fixtures) `__unwind_info` and its DWARF fallback.
//
// Crash-time contract: async-signal-safe, no heap, no lock, no stdio. The strategies are
// static objects; choosing one reads four bytes through the safe read.

#include "sdk/crash/context/QXBinaryImageNode.h"
#include "sdk/crash/context/QXMachineContext.h"

namespace wv {

class QXUnwindStrategy {
  public:
    // None for an image whose magic is unreadable or of neither format.
    static const QXUnwindStrategy* forImage(const QXBinaryImageNode& image);

    // Replaces the cursor's registers with the caller's; false (cursor untouched) when the
    // tables do not cover the PC or cannot be used.
    virtual bool step(const QXBinaryImageNode& image, QXUnwindCursor* cursor) const = 0;

  protected:
    ~QXUnwindStrategy() = default;
};

}  // namespace wv
