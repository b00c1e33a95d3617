#include "sdk/analytics/PLRLogger.h"

#include "platform/foundation/Log.h"

namespace wv {

PLRLogger& PLRLogger::sharedLogger() {
    static PLRLogger logger;
    return logger;
}

void PLRLogger::log(std::string_view text) { internalLog("[Plurio] " + std::string(text)); }

void PLRLogger::logWithLabel(std::string_view label, std::string_view text) {
    internalLog("[Plurio:" + std::string(label) + "] " + std::string(text));
}

void PLRLogger::internalLog(const std::string& line) {
    if (debugMode()) Log::system(line);
}

}  // namespace wv
