#pragma once

// The signal path of the crash kit: a handler for the seven fatal signals that records
// "signal.qxrecord" and every thread, then lets the signal take its course under the actions
// that were there before the kit.
//
// The handler stays installed while it records, so a fault anywhere in the process is still
// seen: on the recording thread it means the recorder itself crashed (the previous actions are
// put back and the fault ends the process, the finished lines kept); on another thread the
// fatal signal waits for the record and then ends the process with status 1, writing nothing.
// A signal that was sent (kill, raise, abort) or a trap would not come back by returning, so
// those are raised again once the previous actions are back.
//
// Crash-time contract for the handler and the Safe functions: async-signal-safe, no heap, no
// lock, no stdio.

#include <signal.h>

#include <cstdint>
#include <functional>

namespace wv {

inline constexpr int kQXSignalCount = 7;

// Removes a stale record, installs the handlers (keeping the previous actions) and the park
// handler the recorder uses to stop the other threads.
void QXSignalInitialize();
void QXSignalHandler(int signal, siginfo_t* info, void* userContext);
void QXSignalSafeRemoveHandlers(bool includeAbort);
bool QXSignalSafeInstallPreexistingHandlers();
void QXSignalEnumerateHandledSignals(const std::function<void(int index, int signal)>& block);
// Writes a line to standard error for each handled signal whose action is not ours.
void QXSignalCheckHandlers();

const char* QXSignalNameForSignal(int signal);
const char* QXSignalCodeNameForSignal(int signal);

}  // namespace wv
