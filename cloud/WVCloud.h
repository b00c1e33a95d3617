#pragma once

#include "cloud/WVCloudLogic.h"

namespace wv {

// The cloud service the program runs. When the account becomes available it runs the
// synchronisation chain: the full download while "cloud_sync" has no row, the subscription
// check, the change fetch from the stored token with the records it names, and the push of
// every lesson record not linked yet. Every step prints one "WVCloud " line. A remote
// notification fetches the changes again; one that comes while a change fetch runs brings
// one more fetch after it, and so does a server that has more notifications than it sent.
class WVCloud : public WVCloudLogic {
  public:
    WVCloud(ck::Container& container, UserDefaults& defaults, LessonStats& stats,
            bool accountCheck = true, bool syncOnReady = true);

    void fetchChanges() override;
    void fetchAllRecords();

    bool syncOnReady;

  protected:
    void onReady() override;

  private:
    enum class Following { Chain, Notified };

    void fetchAllRecordsDone(bool ok);
    void subscriberSync(bool ok);
    void startChangeFetch(Following following, bool retried = false);
    void changeFetchDone(bool ok, Following following, bool retried);
    void fetchAndSaveThenPush(bool ok);
    void fetchAndSaveDone(bool ok);
    void pushDone(bool ok);
    // The change fetch and what followed it have ended: starts what waited for them.
    void endChangeFetch();

    bool refetchWanted_ = false;
    bool chainWaiting_ = false;
};

}  // namespace wv
