#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/plist/Value.h"
#include "platform/rx/BehaviorSubject.h"

namespace wv {

// The settings copy kept in the learner's cloud key-value store, as the engine sees it. The
// cloud layer provides the real store; the engine only saves to it, synchronises it and reads
// the settings back.
class WVCloudKeyValueProtocol {
  public:
    virtual ~WVCloudKeyValueProtocol() = default;

    // Keys the store reported as changed from elsewhere; starts with the empty list.
    rx::BehaviorSubject<std::vector<std::string>> didChange{std::vector<std::string>{}};

    // Keeps `settings` under "config" unless the stored copy already equals it.
    virtual void save(const plist::Dictionary& settings) = 0;
    // Asks the store to exchange its values with the cloud now.
    virtual void synchronize() = 0;
    // The dictionary stored under `key`; none when there is none.
    virtual std::optional<plist::Dictionary> dictionaryForKey(std::string_view key) const = 0;
};

}  // namespace wv
