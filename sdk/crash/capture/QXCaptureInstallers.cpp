#include "sdk/crash/capture/QXCaptureInstallers.h"

#include "sdk/crash/capture/QXException.h"
#include "sdk/crash/capture/QXMachException.h"
#include "sdk/crash/capture/QXSignal.h"
#include "sdk/crash/images/QXBinaryImage.h"

namespace wv {

QXContextInstallers QXCaptureInstallers() {
    QXContextInstallers installers{};
    installers.binaryImages = QXBinaryImageInit;
    installers.signals = QXSignalInitialize;
    installers.machExceptions = QXMachExceptionInit;
    installers.exceptions = QXExceptionInitialize;
    installers.recordExecutable = QXBinaryImageRecordMainImage;
    return installers;
}

}  // namespace wv
