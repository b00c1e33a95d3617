#pragma once

#include <string>
#include <string_view>

namespace wv {

// Timestamped lines that follow records through the cloud streams. Safe on any thread.

// "Main Thread", the name the program gave the thread, "Anonymous Thread" for an empty name
// or "Unknown Thread" for none.
std::string currentThreadName();
// Whole seconds, rounded, since the first call of the process, as two digits at least.
std::string secondsSinceFirstLog();
// Prints seconds, label, record name, " received on " and the thread name.
void logRecordReceived(std::string_view recordName, std::string_view label);
void logDoOnNext(std::string_view recordName);
void logSubscribeOnNext(std::string_view recordName);

}  // namespace wv
