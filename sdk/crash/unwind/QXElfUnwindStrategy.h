#pragma once

// The strategy of ELF images: the FDE found through `.eh_frame_hdr`, checked to cover the
// PC, and its rules run in the ELF dialect (QXDwarfUnwind.h).

#include "sdk/crash/unwind/QXUnwindStrategy.h"

namespace wv {

class QXElfUnwindStrategy final : public QXUnwindStrategy {
  public:
    bool step(const QXBinaryImageNode& image, QXUnwindCursor* cursor) const override;
};

}  // namespace wv
