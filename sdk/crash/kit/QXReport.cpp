#include "sdk/crash/kit/QXReport.h"

#include <utility>

#include "platform/dispatch/SerialQueue.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/kit/QXUserLogging.h"

namespace wv {
namespace {

std::string contentPath(const std::shared_ptr<QXInternalReport>& report, const char* name) {
    return report ? report->pathForContentFile(name).string() : std::string();
}

}  // namespace

std::shared_ptr<QXReport> QXReport::initWithInternalReport(
    std::shared_ptr<QXInternalReport> internalReport, bool prefetchData) {
    if (!internalReport) return nullptr;
    return std::make_shared<QXReport>(std::move(internalReport), prefetchData);
}

QXReport::QXReport(std::shared_ptr<QXInternalReport> internalReport, bool prefetchData)
    : internalReport_(std::move(internalReport)),
      readOnly_(prefetchData),
      internalCompactedKVFile_(contentPath(internalReport_, "internal_compacted_kv.qxrecord")),
      internalIncrementalKVFile_(contentPath(internalReport_, "internal_incremental_kv.qxrecord")),
      userCompactedKVFile_(contentPath(internalReport_, "user_compacted_kv.qxrecord")),
      userIncrementalKVFile_(contentPath(internalReport_, "user_incremental_kv.qxrecord")) {
    if (prefetchData) prefetch();
}

QXReport::~QXReport() {
    // A compaction queued by one of this report's writes still uses its paths and counters.
    if (recorded_ && qxLoggingQueue != nullptr && !qxLoggingQueue->isCurrent())
        qxLoggingQueue->drain();
}

void QXReport::prefetch() {
    std::lock_guard lock(mutex_);
    const QXInternalReport& report = *internalReport_;
    identifier_ = report.identifier();
    bundleVersion_ = report.bundleVersion();
    bundleShortVersionString_ = report.bundleShortVersionString();
    dateCreated_ = report.dateCreated();
    crashedOnDate_ = report.crashedOnDate();
    OSVersion_ = report.OSVersion();
    OSBuildVersion_ = report.OSBuildVersion();
    isCrash_ = report.isCrash();
    customKeys_ = readCustomKeys();
}

// A frozen report answers from what it took at creation, none included; a lazy one asks the
// internal report until it gets an answer.
template <class T, class Read>
T QXReport::cached(std::optional<T>& slot, Read read) {
    std::lock_guard lock(mutex_);
    if (!slot && !readOnly_) slot = read();
    return slot.value_or(T{});
}

std::string QXReport::identifier() {
    return cached<std::string>(identifier_, [&] { return internalReport_->identifier(); });
}

QXCrashReport::CustomKeys QXReport::customKeys() {
    return cached<CustomKeys>(customKeys_, [&] { return readCustomKeys(); });
}

std::optional<std::string> QXReport::bundleVersion() {
    return cachedOptional(bundleVersion_, [&] { return internalReport_->bundleVersion(); });
}

std::optional<std::string> QXReport::bundleShortVersionString() {
    return cachedOptional(bundleShortVersionString_,
                          [&] { return internalReport_->bundleShortVersionString(); });
}

std::optional<QXCrashReport::Date> QXReport::dateCreated() {
    return cachedOptional(dateCreated_, [&] { return internalReport_->dateCreated(); });
}

std::optional<QXCrashReport::Date> QXReport::crashedOnDate() {
    return cachedOptional(crashedOnDate_, [&] { return internalReport_->crashedOnDate(); });
}

std::optional<std::string> QXReport::OSVersion() {
    return cachedOptional(OSVersion_, [&] { return internalReport_->OSVersion(); });
}

std::optional<std::string> QXReport::OSBuildVersion() {
    return cachedOptional(OSBuildVersion_, [&] { return internalReport_->OSBuildVersion(); });
}

bool QXReport::isCrash() {
    return cached<bool>(isCrash_, [&] { return internalReport_->isCrash(); });
}

template <class T, class Read>
std::optional<T> QXReport::cachedOptional(std::optional<T>& slot, Read read) {
    std::lock_guard lock(mutex_);
    if (!slot && !readOnly_) slot = read();
    return slot;
}

QXCrashReport::CustomKeys QXReport::readCustomKeys() const {
    const QXUserLoggingKVStorage storage = userKVStorage();
    std::optional<CustomKeys> keys;
    // On the logging queue, so a compaction of this folder is never seen half done.
    auto read = [&] { keys = QXUserLoggingGetCompactedKVEntries(&storage, true); };
    if (qxLoggingQueue != nullptr)
        qxLoggingQueue->sync(read);
    else
        read();
    return keys.value_or(CustomKeys{});
}

bool QXReport::canRecordNewValues() const { return !readOnly_ && QXContextIsInitialized(); }

void QXReport::recordValueForUserKey(const std::any& value, const std::optional<std::string>& key) {
    if (!canRecordNewValues()) return;
    const QXUserLoggingKVStorage storage = userKVStorage();
    recorded_ = true;
    QXUserLoggingRecordKeyValue(key, value, &storage, &userKVCounter_);
    // The keys read before this write no longer hold.
    std::lock_guard lock(mutex_);
    customKeys_.reset();
}

void QXReport::recordValueForInternalKey(const std::any& value,
                                         const std::optional<std::string>& key) {
    if (!canRecordNewValues()) return;
    const QXUserLoggingKVStorage storage = internalKVStorage();
    recorded_ = true;
    QXUserLoggingRecordKeyValue(key, value, &storage, &internalKVCounter_);
}

void QXReport::setObjectValue(const std::any& value, const std::optional<std::string>& key) {
    recordValueForUserKey(value, key);
}

void QXReport::setUserIdentifier(const std::optional<std::string>& userIdentifier) {
    recordValueForInternalKey(userIdentifier, kQXUserIdentifierKey);
}

void QXReport::setUserName(const std::optional<std::string>& userName) {
    recordValueForInternalKey(userName, kQXUserNameKey);
}

void QXReport::setUserEmail(const std::optional<std::string>& userEmail) {
    recordValueForInternalKey(userEmail, kQXUserEmailKey);
}

QXUserLoggingKVStorage QXReport::internalKVStorage() const {
    QXUserLoggingKVStorage storage{internalIncrementalKVFile_.c_str(),
                                   internalCompactedKVFile_.c_str(), 0, 0};
    if (QXIsValidPointer(qxContext)) {
        storage.maxIncrementalEntries = qxContext->logging.internalKVStorage.maxIncrementalEntries;
        storage.maxCompactedEntries = qxContext->logging.internalKVStorage.maxCompactedEntries;
    }
    return storage;
}

QXUserLoggingKVStorage QXReport::userKVStorage() const {
    QXUserLoggingKVStorage storage{userIncrementalKVFile_.c_str(), userCompactedKVFile_.c_str(), 0,
                                   0};
    if (QXIsValidPointer(qxContext)) {
        storage.maxIncrementalEntries = qxContext->logging.userKVStorage.maxIncrementalEntries;
        storage.maxCompactedEntries = qxContext->logging.userKVStorage.maxCompactedEntries;
    }
    return storage;
}

}  // namespace wv
