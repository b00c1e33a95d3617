#pragma once

#include "sdk/crash/context/QXContextInitialize.h"

namespace wv {

// Image tracking, the three crash paths and the executable's metadata line, as the context
// initialisation starts them. The program hands these in before QXContextInitialize.
QXContextInstallers QXCaptureInstallers();

}  // namespace wv
