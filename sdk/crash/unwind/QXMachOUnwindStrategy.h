#pragma once

// The strategy of Mach-O images: `__unwind_info` through QXCompactUnwind, which falls back on
// `__eh_frame` for a DWARF-mode encoding.

#include "sdk/crash/unwind/QXUnwindStrategy.h"

namespace wv {

class QXMachOUnwindStrategy final : public QXUnwindStrategy {
  public:
    bool step(const QXBinaryImageNode& image, QXUnwindCursor* cursor) const override;
};

}  // namespace wv
