// libFuzzer target: bytes handed back by callers as change tokens, token archives or query
// cursors. Whatever the bytes, decoding must not crash, and what decodes must encode to the
// very same bytes (nothing is read past its end or silently dropped).
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/cloudkit/QueryCursor.h"
#include "platform/cloudkit/ServerChangeToken.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (auto token = wv::ck::ServerChangeToken::fromBytes(bytes)) {
        const auto again = token->bytes();
        if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
        if (wv::ck::ServerChangeToken::unarchive(token->archive()) != token) std::abort();
    }
    if (auto cursor = wv::ck::QueryCursor::fromBytes(bytes)) {
        const auto again = cursor->bytes();
        if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
    }
    (void)wv::ck::ServerChangeToken::unarchive(wv::plist::Data(data, data + size));
    return 0;
}
