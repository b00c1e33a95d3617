#pragma once

// The report object the kit hands to the application's delegate for a report of an earlier
// run: the facts of one internal report through a stable surface. A report made with
// prefetching is frozen: everything is read at creation and every setter is ignored. One made
// without reads lazily and, while the crash context is up, takes custom keys and the user's
// identity straight into the report folder's key-value files (with this run's limits), so they
// travel with the report. Identity is write-only: reading it always gives none.
//
// Threads: any; the caches are guarded and writes go through the logging queue.

#include <any>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "sdk/crash/context/QXUserLoggingStorage.h"
#include "sdk/crash/report/QXInternalReport.h"

namespace wv {

// What a delegate may read of any report.
class QXCrashReport {
  public:
    using Date = QXInternalReport::Date;
    using CustomKeys = QXUserLoggingKVEntries;

    virtual ~QXCrashReport() = default;
    virtual std::string identifier() = 0;
    virtual CustomKeys customKeys() = 0;
    virtual std::optional<std::string> bundleVersion() = 0;
    virtual std::optional<std::string> bundleShortVersionString() = 0;
    virtual std::optional<Date> crashedOnDate() = 0;
    virtual std::optional<std::string> OSVersion() = 0;
    virtual std::optional<std::string> OSBuildVersion() = 0;
};

class QXReport : public QXCrashReport {
  public:
    static std::shared_ptr<QXReport> initWithInternalReport(
        std::shared_ptr<QXInternalReport> internalReport, bool prefetchData = false);
    QXReport(std::shared_ptr<QXInternalReport> internalReport, bool prefetchData);
    ~QXReport() override;
    QXReport(const QXReport&) = delete;
    QXReport& operator=(const QXReport&) = delete;

    const std::shared_ptr<QXInternalReport>& internalReport() const { return internalReport_; }
    bool readOnly() const { return readOnly_; }

    std::string identifier() override;
    CustomKeys customKeys() override;
    std::optional<std::string> bundleVersion() override;
    std::optional<std::string> bundleShortVersionString() override;
    std::optional<Date> dateCreated();
    std::optional<Date> crashedOnDate() override;
    std::optional<std::string> OSVersion() override;
    std::optional<std::string> OSBuildVersion() override;
    bool isCrash();

    // The user store of the folder as the key-value reader gives it (empty for no files).
    CustomKeys readCustomKeys() const;

    // Not read-only and the crash context initialised.
    bool canRecordNewValues() const;
    void recordValueForUserKey(const std::any& value, const std::optional<std::string>& key);
    void recordValueForInternalKey(const std::any& value, const std::optional<std::string>& key);
    void setObjectValue(const std::any& value, const std::optional<std::string>& key);
    void setUserIdentifier(const std::optional<std::string>& userIdentifier);
    void setUserName(const std::optional<std::string>& userName);
    void setUserEmail(const std::optional<std::string>& userEmail);
    std::optional<std::string> userIdentifier() const { return std::nullopt; }
    std::optional<std::string> userName() const { return std::nullopt; }
    std::optional<std::string> userEmail() const { return std::nullopt; }

    // This folder's key-value files with the limits of the live context's store of the same
    // kind (zero limits without a context).
    QXUserLoggingKVStorage internalKVStorage() const;
    QXUserLoggingKVStorage userKVStorage() const;

  private:
    void prefetch();
    template <class T, class Read>
    T cached(std::optional<T>& slot, Read read);
    template <class T, class Read>
    std::optional<T> cachedOptional(std::optional<T>& slot, Read read);

    const std::shared_ptr<QXInternalReport> internalReport_;
    const bool readOnly_;
    // Fixed at creation: a folder moved later is still written where it was.
    const std::string internalCompactedKVFile_;
    const std::string internalIncrementalKVFile_;
    const std::string userCompactedKVFile_;
    const std::string userIncrementalKVFile_;
    // Touched only on the logging queue.
    uint32_t internalKVCounter_ = 0;
    std::atomic<bool> recorded_ = false;
    uint32_t userKVCounter_ = 0;

    mutable std::mutex mutex_;
    std::optional<std::string> identifier_;
    std::optional<std::string> bundleVersion_;
    std::optional<std::string> bundleShortVersionString_;
    std::optional<Date> dateCreated_;
    std::optional<Date> crashedOnDate_;
    std::optional<std::string> OSVersion_;
    std::optional<std::string> OSBuildVersion_;
    std::optional<bool> isCrash_;
    std::optional<CustomKeys> customKeys_;
};

}  // namespace wv
