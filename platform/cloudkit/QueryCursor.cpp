#include "platform/cloudkit/QueryCursor.h"

#include <string_view>

#include "platform/cloudkit/ByteReader.h"

namespace wv::ck {

namespace {
constexpr std::string_view kMagic = "WVQC";
constexpr uint8_t kVersion = 1;
}  // namespace

std::vector<uint8_t> QueryCursor::bytes() const {
    std::vector<uint8_t> out;
    appendText(out, std::string(kMagic));
    appendU8(out, kVersion);
    appendU64(out, scope);
    appendU8(out, predicate ? 1 : 0);
    appendU8(out, static_cast<uint8_t>(order));
    appendU64(out, seed);
    appendU64(out, snapshot);
    appendU64(out, position);
    appendU16(out, static_cast<uint16_t>(recordType.size()));
    appendText(out, recordType);
    return out;
}

std::optional<QueryCursor> QueryCursor::fromBytes(std::span<const uint8_t> bytes) {
    ByteReader reader(bytes);
    const auto magic = reader.text(kMagic.size());
    const auto version = reader.u8();
    const auto scope = reader.u64();
    const auto predicate = reader.u8();
    const auto order = reader.u8();
    const auto seed = reader.u64();
    const auto snapshot = reader.u64();
    const auto position = reader.u64();
    const auto typeLength = reader.u16();
    if (reader.failed()) return std::nullopt;
    const auto type = reader.text(*typeLength);
    if (reader.failed() || !reader.atEnd() || *magic != kMagic || *version != kVersion ||
        *predicate > 1 || *order > static_cast<uint8_t>(QueryOrder::Random)) {
        return std::nullopt;
    }
    QueryCursor cursor;
    cursor.scope = *scope;
    cursor.recordType = *type;
    cursor.predicate = *predicate == 1;
    cursor.order = static_cast<QueryOrder>(*order);
    cursor.seed = *seed;
    cursor.snapshot = *snapshot;
    cursor.position = *position;
    return cursor;
}

}  // namespace wv::ck
