#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/plist/Value.h"

namespace wv::ck {

// Where a reader of the server's notifications stands. Opaque to callers: they keep it
// (through archive(), a property list) and hand it back. It names the container and account
// it was made for (as a fingerprint), the server epoch, and the last notification it covers.
class ServerChangeToken {
  public:
    ServerChangeToken(uint64_t scope, uint64_t epoch, uint64_t position)
        : scope_(scope), epoch_(epoch), position_(position) {}

    uint64_t scope() const { return scope_; }
    uint64_t epoch() const { return epoch_; }
    uint64_t position() const { return position_; }

    std::vector<uint8_t> bytes() const;
    // None for bytes that are not a whole token of this format.
    static std::optional<ServerChangeToken> fromBytes(std::span<const uint8_t> bytes);

    // The keyed-archive stand-in: a binary-safe property list holding the bytes, to be kept
    // as data in the user defaults.
    plist::Data archive() const;
    // None for data that is not such an archive (another type, another class, garbage).
    static std::optional<ServerChangeToken> unarchive(const plist::Data& data);

    bool operator==(const ServerChangeToken&) const = default;

  private:
    uint64_t scope_;
    uint64_t epoch_;
    uint64_t position_;
};

}  // namespace wv::ck
