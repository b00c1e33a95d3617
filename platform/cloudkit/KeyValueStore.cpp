#include "platform/cloudkit/KeyValueStore.h"

#include <any>
#include <vector>

#include "platform/cloudkit/Container.h"
#include "platform/cloudkit/ContainerCore.h"
#include "platform/foundation/NotificationCenter.h"

namespace wv::ck {

// What the worker's exchanges and the store share; outlives the store while an exchange runs.
struct KeyValueStore::Shared {
    const void* sender = nullptr;
    mutable std::mutex mutex;
    plist::Dictionary memory;  // without a cloud
};

namespace {

void exchange(ContainerCore& core, const ServerAccess& access, const void* sender);

}  // namespace

KeyValueStore& KeyValueStore::defaultStore() {
    static KeyValueStore store(Container::defaultContainer());
    return store;
}

KeyValueStore::KeyValueStore(Container& container)
    : core_(container.core()), shared_(std::make_shared<Shared>()) {
    shared_->sender = this;
    std::weak_ptr<Shared> weak = shared_;
    ContainerCore* core = core_.get();
    core_->setKeyValueWatcher(
        [weak, core](const ServerAccess& access) {
            if (auto shared = weak.lock()) exchange(*core, access, shared->sender);
        },
        [core] {
            InstallationFile* file = core->installationFile();
            return file ? file->cursor() : 0;
        });
}

KeyValueStore::~KeyValueStore() { core_->setKeyValueWatcher(nullptr, nullptr); }

void KeyValueStore::setObject(plist::Value value, const std::string& key) {
    if (InstallationFile* file = core_->installationFile()) {
        file->setValue(key, std::move(value));
        return;
    }
    std::lock_guard lock(shared_->mutex);
    shared_->memory.set(key, std::move(value));
}

std::optional<plist::Value> KeyValueStore::objectForKey(const std::string& key) const {
    if (InstallationFile* file = core_->installationFile()) return file->value(key);
    std::lock_guard lock(shared_->mutex);
    if (const plist::Value* value = shared_->memory.find(key)) return *value;
    return std::nullopt;
}

std::optional<plist::Dictionary> KeyValueStore::dictionaryForKey(const std::string& key) const {
    auto value = objectForKey(key);
    if (value && value->is<plist::Dictionary>()) return *value->get<plist::Dictionary>();
    return std::nullopt;
}

bool KeyValueStore::synchronize() {
    if (!core_->configured()) return false;
    std::shared_ptr<Shared> shared = shared_;
    ContainerCore* core = core_.get();
    core_->perform(
        [core, shared](const ServerAccess& access) { exchange(*core, access, shared->sender); });
    return true;
}

namespace {

void post(ContainerCore& core, const void* sender, int64_t reason, std::vector<std::string> keys) {
    core.deliver([sender, reason, keys = std::move(keys)] {
        NotificationCenter::defaultCenter().post(
            KeyValueStore::kDidChangeExternallyNotification, sender,
            {{KeyValueStore::kChangeReasonKey, std::any(reason)},
             {KeyValueStore::kChangedKeysKey, std::any(keys)}});
    });
}

// On the worker: sends what was set here, takes what others set.
void exchange(ContainerCore& core, const ServerAccess& access, const void* sender) {
    InstallationFile* file = core.installationFile();
    if (!access.backend || !file) return;
    const auto dirty = file->dirtyEntries();
    const KeyValueExchange result =
        access.backend->exchangeKeyValues(access.caller, dirty, file->cursor());
    // The keys stay marked, and the poll tries again until an exchange goes through.
    core.keyValueExchangeFailed(result.error.has_value());
    if (result.error) return;
    file->markSent(dirty);
    const bool initial = !file->synced();
    std::vector<std::string> changed = file->apply(result.changes, result.cursor);
    if (!result.rejected.empty()) {
        post(core, sender, KeyValueStore::QuotaViolationChange, result.rejected);
    }
    if (!changed.empty()) {
        post(core, sender, initial ? KeyValueStore::InitialSyncChange : KeyValueStore::ServerChange,
             std::move(changed));
    }
}

}  // namespace

}  // namespace wv::ck
