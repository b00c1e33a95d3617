#include "sdk/crash/context/QXUserLoggingStorage.h"

#include <errno.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "platform/dispatch/SerialQueue.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/QXFileReadSections.h"
#include "sdk/crash/context/QXSDKLog.h"
#include "sdk/crash/context/QXUtility.h"

namespace wv {
namespace {

// Without the queue (a context that was never fully built) the work runs on the caller.
void onLoggingQueue(const std::function<void()>& block) {
    if (qxLoggingQueue != nullptr)
        qxLoggingQueue->sync(block);
    else
        block();
}

void afterOnLoggingQueue(std::function<void()> block) {
    if (qxLoggingQueue != nullptr)
        qxLoggingQueue->async(std::move(block));
    else
        block();
}

// Keys and values are written as hex texts, so they may hold any bytes, NUL included.
void writeKVLine(QXFile* file, const std::string& hexKey, const std::optional<std::string>& hexValue) {
    QXFileWriteSectionStart(file, "kv");
    QXFileWriteHashStart(file);
    QXFileWriteHashEntryString(file, "key", hexKey.c_str());
    QXFileWriteHashEntryString(file, "value", hexValue ? hexValue->c_str() : nullptr);
    QXFileWriteHashEnd(file);
    QXFileWriteSectionEnd(file);
}

// The bytes of a hex text up to its first pair that is not hex. Unlike the record reader's
// text decoder it keeps bytes that are no valid UTF-8: a value comes back as it was given.
std::string hexDecodeBytes(std::string_view hex) {
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        uint8_t high = QXUtilityHexDigitValue(hex[i]);
        uint8_t low = QXUtilityHexDigitValue(hex[i + 1]);
        if (high > 15 || low > 15) break;
        bytes.push_back(static_cast<char>((high << 4) | low));
    }
    return bytes;
}

std::vector<nlohmann::json> readKVLines(const char* path) {
    std::error_code ec;
    if (path == nullptr || !std::filesystem::exists(path, ec)) return {};
    auto lines = QXFileReadSections(std::filesystem::path(path), true,
                                    [](const nlohmann::json& line) -> std::optional<nlohmann::json> {
                                        auto kv = line.find("kv");
                                        if (kv == line.end() || !kv->is_object()) return std::nullopt;
                                        return *kv;
                                    });
    return lines ? std::move(*lines) : std::vector<nlohmann::json>{};
}

std::optional<std::string> textAt(const nlohmann::json& kv, const char* name, bool decode) {
    auto it = kv.find(name);
    if (it == kv.end() || !it->is_string()) return std::nullopt;
    const std::string& text = it->get_ref<const std::string&>();
    return decode ? hexDecodeBytes(text) : text;
}

bool isCurrentA(const QXUserLoggingABStorage* storage, const char* current) {
    if (current == storage->aPath) return true;
    return storage->aPath != nullptr && strcmp(current, storage->aPath) == 0;
}

}  // namespace

void QXUserLoggingInitStorage() {
    if (!QXIsValidPointer(qxContext) || !QXIsValidPointer(qxWritableContext)) return;
    auto& logging = qxContext->logging;
    auto& counters = qxWritableContext->logging;
    counters.currentLogPath = logging.logStorage.aPath;
    counters.currentErrorsPath = logging.errorStorage.aPath;
    counters.currentCustomExceptionPath = logging.customExceptionStorage.aPath;
    counters.userIncrementalCount = 0;
    counters.internalIncrementalCount = 0;
    counters.errorsCount = 0;
}

void QXUserLoggingWriteAndCheckABFiles(const QXUserLoggingABStorage* storage,
                                       const char** currentPath,
                                       const QXUserLoggingLineWriter& writer) {
    if (storage == nullptr || currentPath == nullptr || !writer || *currentPath == nullptr) return;
    const bool limited = storage->restrictBySize ? storage->maxSize > 0 : storage->maxEntries > 0;
    if (!limited) return;
    onLoggingQueue([&] {
        QXFile file;
        if (!QXFileInitWithPath(&file, *currentPath, true)) {
            QXLogWarn("Unable to open log file\n");
            return;
        }
        writer(&file);
        uint64_t offset = 0;
        QXFileCloseWithOffset(&file, &offset);
        if (!storage->restrictBySize && storage->entryCount != nullptr) *storage->entryCount += 1;
        afterOnLoggingQueue(
            [storage, currentPath, offset] { QXUserLoggingCheckAndSwapABFiles(storage, currentPath, offset); });
    });
}

void QXUserLoggingCheckAndSwapABFiles(const QXUserLoggingABStorage* storage,
                                      const char** currentPath, uint64_t offset) {
    if (storage == nullptr || currentPath == nullptr || *currentPath == nullptr) return;
    if (!storage->restrictBySize) {
        if (storage->entryCount == nullptr) {
            QXLogError("Error: storage has invalid pointer, but is restricted by entry count\n");
            return;
        }
        if (*storage->entryCount < storage->maxEntries) return;
        *storage->entryCount = 0;
    } else if (offset <= storage->maxSize) {
        return;
    }
    const char* other = isCurrentA(storage, *currentPath) ? storage->bPath : storage->aPath;
    if (other != nullptr && other[0] != '\0') ::unlink(other);
    *currentPath = other;
}

void QXUserLoggingWriteKeyValue(const QXUserLoggingKVStorage* storage, uint32_t* counter,
                                const std::string& key, const std::optional<std::string>& value) {
    if (storage == nullptr || counter == nullptr || storage->incrementalPath == nullptr) {
        QXLogError("Bad parameters\n");
        return;
    }
    QXFile file;
    if (!QXFileInitWithPath(&file, storage->incrementalPath, true)) {
        QXLogError("Unable to open k-v file\n");
        return;
    }
    writeKVLine(&file, QXFileHexEncodeString(key),
                value ? std::optional<std::string>(QXFileHexEncodeString(*value)) : std::nullopt);
    QXFileClose(&file);
    *counter += 1;
    if (*counter >= storage->maxIncrementalEntries) {
        // The store is copied: the report object's descriptors are built per call.
        afterOnLoggingQueue([copy = *storage, counter] {
            QXUserLoggingCompactKVEntries(&copy);
            *counter = 0;
        });
    }
}

std::optional<QXUserLoggingKVEntries> QXUserLoggingGetCompactedKVEntries(
    const QXUserLoggingKVStorage* storage, bool decode) {
    if (storage == nullptr) {
        QXLogError("storage invalid\n");
        return std::nullopt;
    }
    QXUserLoggingKVEntries entries;
    if (!QXContextIsInitialized()) return entries;
    for (const nlohmann::json& kv : readKVLines(storage->compactedPath)) {
        auto key = textAt(kv, "key", decode);
        auto value = textAt(kv, "value", decode);
        if (key && value)
            entries[*key] = *value;
        else
            QXLogError("compacted key/value contains a nil and must be dropped\n");
    }
    for (const nlohmann::json& kv : readKVLines(storage->incrementalPath)) {
        auto key = textAt(kv, "key", decode);
        auto valueField = kv.find("value");
        const bool removal = valueField != kv.end() && valueField->is_null();
        auto value = textAt(kv, "value", decode);
        if (key && removal) {
            entries.erase(*key);
        } else if (key && value) {
            entries[*key] = *value;
        } else {
            QXLogError("incremental key/value contains a nil and must be dropped\n");
        }
    }
    return entries;
}

void QXUserLoggingCompactKVEntries(const QXUserLoggingKVStorage* storage) {
    if (storage == nullptr || storage->compactedPath == nullptr ||
        storage->incrementalPath == nullptr) {
        QXLogError("Error: storage invalid\n");
        return;
    }
    QXUserLoggingKVEntries entries =
        QXUserLoggingGetCompactedKVEntries(storage, false).value_or(QXUserLoggingKVEntries{});
    // The new set is written beside the old one under a hidden name and renamed over it, so a
    // crash in the middle leaves the old set (and the incremental lines) whole; a hidden file
    // is never packaged with the report.
    const std::filesystem::path compacted(storage->compactedPath);
    const std::filesystem::path staged =
        compacted.parent_path() / ("." + compacted.filename().string() + ".new");
    QXFile file;
    if (!QXFileInitWithPathMode(&file, staged.c_str(), false, true)) {
        QXLogWarn("Error: Unable to open compacted k-v file\n");
        return;
    }
    if (entries.size() > storage->maxCompactedEntries) {
        QXLogInfo("Truncating KV set, which is above max %d\n", int(storage->maxCompactedEntries));
    }
    uint32_t written = 0;
    for (const auto& [key, value] : entries) {
        if (written++ == storage->maxCompactedEntries) break;
        writeKVLine(&file, key, value);
    }
    if (!QXFileClose(&file) || ::rename(staged.c_str(), storage->compactedPath) != 0) {
        QXLogWarn("Error: Unable to replace compacted KV store %s\n",
                  strerrordesc_np(errno));
        ::unlink(staged.c_str());
        return;
    }
    if (!QXUtilityUnlinkIfExists(storage->incrementalPath)) {
        QXLogWarn("Error: Unable to remove incremental KV store after compaction %s\n",
                  strerrordesc_np(errno));
    }
}

}  // namespace wv
