#pragma once

#include <memory>

#include "engine/services/WVCloudKeyValueProtocol.h"
#include "platform/cloudkit/Container.h"
#include "platform/cloudkit/KeyValueStore.h"
#include "platform/foundation/NotificationCenter.h"

namespace wv {

// The settings dictionary mirrored under "config" in the account's key-value store. A save
// writes only what differs from the stored copy; changes others made are announced on
// `didChange` (the changed keys) on the main queue, for the first sync and for the server's
// later changes only.
class WVCloudKeyValue : public WVCloudKeyValueProtocol {
  public:
    static constexpr const char* kConfigKey = "config";

    explicit WVCloudKeyValue(ck::Container& container);
    ~WVCloudKeyValue() override;

    void save(const plist::Dictionary& settings) override;
    void synchronize() override;
    std::optional<plist::Dictionary> dictionaryForKey(std::string_view key) const override;

    void storeDidChange(const Notification& notification);

    ck::KeyValueStore& store() { return *store_; }

  private:
    std::unique_ptr<ck::KeyValueStore> store_;
    NotificationCenter::ObserverToken observer_ = 0;
};

}  // namespace wv
