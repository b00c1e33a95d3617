#include "app/DebugLines.h"

#include <cmath>
#include <cstdio>
#include <mutex>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/ThreadName.h"
#include "platform/foundation/Log.h"

namespace wv {

namespace {
double debugClockStart() {
    static std::once_flag once;
    static double start = 0;
    std::call_once(once, [] { start = Clock::current().now(); });
    return start;
}
}  // namespace

std::string currentThreadName() {
    if (isMainThread()) return "Main Thread";
    const auto name = givenThreadName();
    if (!name) return "Unknown Thread";
    if (name->empty()) return "Anonymous Thread";
    return *name;
}

std::string secondsSinceFirstLog() {
    const double start = debugClockStart();
    const long seconds = std::lround(Clock::current().now() - start);
    char text[32];
    std::snprintf(text, sizeof text, "%02i", int(seconds));
    return text;
}

void logRecordReceived(std::string_view recordName, std::string_view label) {
    std::string line = secondsSinceFirstLog();
    line += label;
    line += recordName;
    line += " received on ";
    line += currentThreadName();
    Log::print(line);
}

void logDoOnNext(std::string_view recordName) { logRecordReceived(recordName, "s | [Do onNext] "); }

void logSubscribeOnNext(std::string_view recordName) { logRecordReceived(recordName, "s | [Subscribe onNext] "); }

}  // namespace wv
