#pragma once

// What the crash kit asks about the hosting application, the activities that keep the process
// alive while reports are processed, and profiling marks. Not crash-time code.

#include <any>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace wv {

std::optional<std::string> QXApplicationExtensionPointIdentifier();
bool QXApplicationIsExtension();
// The shared object of the class linked as "NSApplication"; empty when there is none.
std::any QXApplicationSharedApplication();

inline constexpr uint64_t kQXActivitySuddenTerminationDisabled = 0x4000;
inline constexpr uint64_t kQXActivityAutomaticTerminationDisabled = 0x8000;

// The process information offers no activity interface here, so the token records what
// begin disabled, and end enables exactly that again.
struct QXActivityToken {
    uint64_t options = 0;
    std::string reason;
};

std::optional<QXActivityToken> QXApplicationBeginActivity(uint64_t options,
                                                          const std::string& reason);
void QXApplicationEndActivity(const std::optional<QXActivityToken>& token);
void QXApplicationActivity(uint64_t options, const std::string& reason,
                           const std::function<void()>& block);

using QXProfileMark = uint64_t;
// The monotonic clock's reading now, in ticks of the timebase.
QXProfileMark QXProfilingStart();
double QXProfilingEndInMillis(QXProfileMark mark);

// Ticks of the clock and how many nanoseconds a tick is (numerator / denominator).
struct QXTimebase {
    std::function<uint64_t()> now;
    uint32_t numerator = 1;
    uint32_t denominator = 1;
};
// Replaces the timebase (tests); an empty `now` brings back CLOCK_MONOTONIC in nanoseconds.
void QXProfilingSetTimebase(QXTimebase timebase);

}  // namespace wv
