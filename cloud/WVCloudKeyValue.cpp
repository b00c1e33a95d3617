#include "cloud/WVCloudKeyValue.h"

#include <any>

#include "platform/dispatch/MainQueue.h"
#include "platform/foundation/Log.h"

namespace wv {

namespace {

std::string described(const plist::Value& value);

std::string described(const plist::Dictionary& dictionary) {
    std::string out = "{";
    for (const auto& [key, value] : dictionary) out += " " + key + " = " + described(value) + ";";
    return out + " }";
}

std::string described(const plist::Value& value) {
    if (auto* s = value.get<std::string>()) return "\"" + *s + "\"";
    if (auto* b = value.get<bool>()) return *b ? "1" : "0";
    if (auto* i = value.get<int64_t>()) return std::to_string(*i);
    if (auto* d = value.get<double>()) return std::to_string(*d);
    if (auto* dictionary = value.get<plist::Dictionary>()) return described(*dictionary);
    if (auto* array = value.get<plist::Array>()) {
        std::string out = "(";
        for (size_t i = 0; i < array->size(); ++i) out += (i ? ", " : "") + described((*array)[i]);
        return out + ")";
    }
    return "<data>";
}

template <typename T>
const T* entry(const Notification& notification, const char* key) {
    auto found = notification.userInfo.find(key);
    if (found == notification.userInfo.end()) return nullptr;
    return std::any_cast<T>(&found->second);
}

}  // namespace

WVCloudKeyValue::WVCloudKeyValue(ck::Container& container)
    : store_(std::make_unique<ck::KeyValueStore>(container)) {
    observer_ = NotificationCenter::defaultCenter().addObserver(
        ck::KeyValueStore::kDidChangeExternallyNotification, store_.get(),
        [this](const Notification& notification) { storeDidChange(notification); });
}

WVCloudKeyValue::~WVCloudKeyValue() {
    NotificationCenter::defaultCenter().removeObserver(observer_);
}

void WVCloudKeyValue::storeDidChange(const Notification& notification) {
    const int64_t* reason = entry<int64_t>(notification, ck::KeyValueStore::kChangeReasonKey);
    if (!reason) return;
    if (uint64_t(*reason) != ck::KeyValueStore::ServerChange &&
        uint64_t(*reason) != ck::KeyValueStore::InitialSyncChange)
        return;
    const auto* keys =
        entry<std::vector<std::string>>(notification, ck::KeyValueStore::kChangedKeysKey);
    if (!keys) return;
    // The subscriber changes the typing screen: it must hear of it on the main thread.
    if (isMainThread()) {
        didChange.onNext(*keys);
    } else {
        MainQueue::shared().async([this, keys = *keys] { didChange.onNext(keys); });
    }
}

void WVCloudKeyValue::save(const plist::Dictionary& settings) {
    auto stored = store_->dictionaryForKey(kConfigKey);
    if (stored && *stored == settings) {
        Log::print("Save to iCloud: SKIPPED");
        return;
    }
    store_->setObject(plist::Value(settings), kConfigKey);
    store_->synchronize();
    Log::print("Save to iCloud: " + described(settings));
}

void WVCloudKeyValue::synchronize() { store_->synchronize(); }

std::optional<plist::Dictionary> WVCloudKeyValue::dictionaryForKey(std::string_view key) const {
    return store_->dictionaryForKey(std::string(key));
}

}  // namespace wv
