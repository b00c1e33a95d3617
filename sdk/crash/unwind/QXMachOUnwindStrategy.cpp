#include "sdk/crash/unwind/QXMachOUnwindStrategy.h"

#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/unwind/QXCompactUnwind.h"

namespace wv {

bool QXMachOUnwindStrategy::step(const QXBinaryImageNode& image, QXUnwindCursor* cursor) const {
    QXCompactUnwindContext context;
    if (!QXCompactUnwindInit(&context, image.unwindInfo, image.ehFrame, image.baseAddress)) {
        QXLogError("Unable to read unwind info\n");
        return false;
    }
    return QXCompactUnwindLookupAndCompute(&context, cursor);
}

}  // namespace wv
