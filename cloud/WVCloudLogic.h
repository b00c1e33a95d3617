#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "cloud/WVCloudLessonFetcher.h"
#include "cloud/WVCloudLessonPusher.h"
#include "cloud/WVCloudSubscriptions.h"
#include "cloud/iCloudChangeFetcher.h"
#include "cloud/iCloudDelete.h"
#include "engine/LessonStats.h"
#include "engine/WVCloudProtocol.h"
#include "platform/cloudkit/Container.h"
#include "platform/dispatch/Timer.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/plist/UserDefaults.h"

namespace wv {

// The root of the lesson-record synchronisation: follows the account status of the
// container for the whole run, owns the objects that talk to the private database, and
// collects newly stored lesson records into a batch pushed 1.0 s after the first of it.
// Everything, the container's callbacks included, runs on the main queue: the statistics
// store, its list and its tree are touched from there only.
class WVCloudLogic : public WVCloudProtocol {
  public:
    static constexpr double kBatchInterval = 1.0;

    // With `accountCheck` the account status is asked for at once.
    WVCloudLogic(ck::Container& container, UserDefaults& defaults, LessonStats& stats,
                 bool accountCheck);
    ~WVCloudLogic() override;
    WVCloudLogic(const WVCloudLogic&) = delete;
    WVCloudLogic& operator=(const WVCloudLogic&) = delete;

    void addLesson(LessonInfoPtr lesson) override { addLessonToBatch(std::move(lesson)); }
    void fetchChanges() override {}

    // Queued only while the account is available; otherwise the record waits, unlinked, for
    // the push step of the next synchronisation.
    void addLessonToBatch(LessonInfoPtr lesson);
    void checkAccountStatus();
    void accountStatusReceived(ck::AccountStatus status);

    ck::AccountStatus accountStatus = ck::AccountStatus::CouldNotDetermine;
    std::vector<LessonInfoPtr> batchQueue;
    std::shared_ptr<Timer> batchTimer;

    ck::Container& container;
    ck::Database& publicDB;
    ck::Database& privateDB;
    WVCloudLessonPusher pusher;
    iCloudDelete deleter;  // held, never started
    WVCloudLessonFetcher fetcher;
    WVCloudSubscriptions subscriber;
    iCloudChangeFetcher changeFetcher;

  protected:
    // The account became available (at the first status, and again after a sign-in).
    virtual void onReady() {}
    virtual void flushBatch();

    LessonStats& stats() { return stats_; }
    UserDefaults& defaults() { return defaults_; }

  private:
    // Links, pending names and the token of another account must not be taken for this one's.
    void adoptAccount();

    LessonStats& stats_;
    UserDefaults& defaults_;
    NotificationCenter::ObserverToken accountObserver_ = 0;
};

}  // namespace wv
