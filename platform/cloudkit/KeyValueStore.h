#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/plist/Value.h"

namespace wv::ck {

class Container;
class ContainerCore;

// The key-value store of an account, shared by its installations. Sets are local at once
// (kept in the installation's own file); synchronize() sends the keys set since the last one
// (the last writer wins) and takes the others' entries, which are announced with
// "NSUbiquitousKeyValueStoreDidChangeExternallyNotification" on the container's callback queue:
// reason 1 the first time a synchronisation finds entries, 0 afterwards, 2 for entries the
// account's quota (1 MB, 1024 keys) refused. A writer never hears of its own writes. Others'
// writes are also noticed by the container's poll, which synchronises by itself.
// Without a cloud the store keeps its values in memory only.
class KeyValueStore {
  public:
    static constexpr const char* kDidChangeExternallyNotification =
        "NSUbiquitousKeyValueStoreDidChangeExternallyNotification";
    static constexpr const char* kChangeReasonKey = "NSUbiquitousKeyValueStoreChangeReasonKey";
    static constexpr const char* kChangedKeysKey = "NSUbiquitousKeyValueStoreChangedKeysKey";
    enum ChangeReason : int64_t {
        ServerChange = 0,
        InitialSyncChange = 1,
        QuotaViolationChange = 2,
        AccountChange = 3,
    };

    // The store of Container::defaultContainer().
    static KeyValueStore& defaultStore();
    explicit KeyValueStore(Container& container);
    ~KeyValueStore();
    KeyValueStore(const KeyValueStore&) = delete;
    KeyValueStore& operator=(const KeyValueStore&) = delete;

    void setObject(plist::Value value, const std::string& key);
    std::optional<plist::Value> objectForKey(const std::string& key) const;
    std::optional<plist::Dictionary> dictionaryForKey(const std::string& key) const;
    // Queues an exchange with the cloud; false when there is no cloud to exchange with.
    bool synchronize();

  private:
    struct Shared;
    std::shared_ptr<ContainerCore> core_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace wv::ck
