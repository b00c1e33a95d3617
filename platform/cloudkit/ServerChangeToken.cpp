#include "platform/cloudkit/ServerChangeToken.h"

#include <string>
#include <string_view>

#include "platform/cloudkit/ByteReader.h"

namespace wv::ck {

namespace {
constexpr std::string_view kMagic = "WVCT";
constexpr uint8_t kVersion = 1;
constexpr std::string_view kArchiveClass = "ServerChangeToken";
}  // namespace

std::vector<uint8_t> ServerChangeToken::bytes() const {
    std::vector<uint8_t> out;
    appendText(out, std::string(kMagic));
    appendU8(out, kVersion);
    appendU64(out, scope_);
    appendU64(out, epoch_);
    appendU64(out, position_);
    return out;
}

std::optional<ServerChangeToken> ServerChangeToken::fromBytes(std::span<const uint8_t> bytes) {
    ByteReader reader(bytes);
    const auto magic = reader.text(kMagic.size());
    const auto version = reader.u8();
    const auto scope = reader.u64();
    const auto epoch = reader.u64();
    const auto position = reader.u64();
    if (reader.failed() || !reader.atEnd() || *magic != kMagic || *version != kVersion) {
        return std::nullopt;
    }
    return ServerChangeToken(*scope, *epoch, *position);
}

plist::Data ServerChangeToken::archive() const {
    plist::Dictionary root;
    root.set("class", plist::Value(std::string(kArchiveClass)));
    root.set("token", plist::Value(bytes()));
    const std::string xml = plist::toXml(plist::Value(std::move(root)));
    return plist::Data(xml.begin(), xml.end());
}

std::optional<ServerChangeToken> ServerChangeToken::unarchive(const plist::Data& data) {
    if (data.empty()) return std::nullopt;
    const std::string_view xml(reinterpret_cast<const char*>(data.data()), data.size());
    const auto root = plist::fromXml(xml);
    const plist::Dictionary* dict = root ? root->get<plist::Dictionary>() : nullptr;
    if (!dict) return std::nullopt;
    const plist::Value* cls = dict->find("class");
    const plist::Value* token = dict->find("token");
    if (!cls || !token || !cls->is<std::string>() || *cls->get<std::string>() != kArchiveClass ||
        !token->is<plist::Data>()) {
        return std::nullopt;
    }
    return fromBytes(*token->get<plist::Data>());
}

}  // namespace wv::ck
