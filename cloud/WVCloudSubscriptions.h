#pragma once

#include <string>

#include "cloud/iCloudSubscriptions.h"

namespace wv {

// The subscription to every record of one type, firing on creation and update, that asks
// for a silent push.
class WVCloudSubscriptions : public iCloudSubscriptions {
  public:
    WVCloudSubscriptions(ck::Database& cloudDB, std::string recordType)
        : iCloudSubscriptions(cloudDB), recordType(std::move(recordType)) {}

    // The subscription makeSubscription saves.
    ck::Subscription subscription() const;

    std::string recordType;

  protected:
    void makeSubscription(Completion completion) override;
};

}  // namespace wv
