#pragma once

#include "engine/services/WVCloudKeyValueProtocol.h"

namespace wv {

// A key-value store that keeps nothing: for runs without a cloud account or cloud layer.
class NoCloudKeyValue : public WVCloudKeyValueProtocol {
  public:
    void save(const plist::Dictionary&) override {}
    void synchronize() override {}
    std::optional<plist::Dictionary> dictionaryForKey(std::string_view) const override {
        return std::nullopt;
    }
};

}  // namespace wv
