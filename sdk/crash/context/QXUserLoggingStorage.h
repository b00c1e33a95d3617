#pragma once

// The files user logging writes into the run's report folder, so that what the application
// attached (custom keys, log lines, errors, non-fatal exceptions) survives a crash without any
// work at crash time: key-value pairs go to an incremental file that is folded into a capped
// compacted file every 64 lines; logs, errors and custom exceptions alternate between an A and
// a B file, the one switched to always starting empty.
//
// Not crash-time code: it runs on the logging queue ("com.balvik.quellix.mac.logging") and may
// allocate. Every file operation runs there; the counters and current-file slots of the
// writable context are touched only there.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace wv {

struct QXFile;

// One key-value store: its two files and their limits.
struct QXUserLoggingKVStorage {
    const char* incrementalPath;
    const char* compactedPath;
    uint32_t maxIncrementalEntries;
    uint32_t maxCompactedEntries;
};

// One A/B store. A store limited by size swaps once its current file passes `maxSize` bytes,
// one limited by entries once `entryCount` reaches `maxEntries`. A store without a limit (0)
// records nothing.
struct QXUserLoggingABStorage {
    const char* aPath;
    const char* bPath;
    uint32_t maxSize;
    uint32_t maxEntries;
    uint8_t restrictBySize;
    uint32_t* entryCount;
};

inline constexpr uint32_t kQXUserLoggingMaxIncrementalEntries = 64;
inline constexpr uint32_t kQXUserLoggingInternalMaxCompactedEntries = 32;

// Keys the kit writes into the internal store.
inline constexpr const char* kQXUserIdentifierKey = "com.quellix.user-id";
inline constexpr const char* kQXUserNameKey = "com.quellix.user-name";
inline constexpr const char* kQXUserEmailKey = "com.quellix.user-email";
inline constexpr const char* kQXDevelopmentPlatformNameKey = "com.quellix.development-platform-name";
inline constexpr const char* kQXDevelopmentPlatformVersionKey =
    "com.quellix.development-platform-version";

// Points each current-file slot of the writable context at its store's A file and zeroes the
// user, internal and errors counters (the custom-exception counter belongs to exception
// capture). Part of the context's initialisation.
void QXUserLoggingInitStorage();

// Writes one line into the open file.
using QXUserLoggingLineWriter = std::function<void(QXFile*)>;

// Appends one line to the store's current file, synchronously on the logging queue, then
// queues the check that swaps to the other file once the store is full. Nothing without a
// store, a slot, a current path, a writer or a limit.
void QXUserLoggingWriteAndCheckABFiles(const QXUserLoggingABStorage* storage,
                                       const char** currentPath,
                                       const QXUserLoggingLineWriter& writer);
// On the logging queue: when the store is full, empties the other file and makes it current.
void QXUserLoggingCheckAndSwapABFiles(const QXUserLoggingABStorage* storage,
                                      const char** currentPath, uint64_t offset);

// On the logging queue: appends one `kv` line (key and value hex-encoded; none for the value
// writes null, a removal), counts it, and on the store's 64th line queues compaction and a
// counter reset.
void QXUserLoggingWriteKeyValue(const QXUserLoggingKVStorage* storage, uint32_t* counter,
                                const std::string& key, const std::optional<std::string>& value);

// Key to value, sorted by key; with `decode` the texts are the bytes as they were recorded
// (any bytes, valid UTF-8 or not), else their hex forms as stored. The compacted file first,
// then the incremental lines in order: a null value removes its key. None for an absent
// store; empty while the context is not initialised.
using QXUserLoggingKVEntries = std::map<std::string, std::string>;
std::optional<QXUserLoggingKVEntries> QXUserLoggingGetCompactedKVEntries(
    const QXUserLoggingKVStorage* storage, bool decode);
// On the logging queue: folds both files into a new compacted file of at most the store's
// compacted maximum, then removes the incremental file.
void QXUserLoggingCompactKVEntries(const QXUserLoggingKVStorage* storage);

}  // namespace wv
