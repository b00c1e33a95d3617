#include "platform/net/Error.h"

namespace wv::net {

std::optional<int64_t> Error::integer(const std::string& key) const {
    auto it = userInfo_.find(key);
    if (it == userInfo_.end()) return std::nullopt;
    if (auto* v = std::get_if<int64_t>(&it->second)) return *v;
    return std::nullopt;
}

std::optional<std::string> Error::text(const std::string& key) const {
    auto it = userInfo_.find(key);
    if (it == userInfo_.end()) return std::nullopt;
    if (auto* v = std::get_if<std::string>(&it->second)) return *v;
    return std::nullopt;
}

std::string Error::description() const {
    std::string out = domain_ + " " + std::to_string(code_);
    if (auto d = text(kLocalizedDescriptionKey)) out += ": " + *d;
    return out;
}

Error makeURLError(int64_t code, const std::string& url, const std::string& description) {
    Error::UserInfo info;
    info[kURLErrorFailingURLStringErrorKey] = url;
    if (!description.empty()) info[kLocalizedDescriptionKey] = description;
    return Error(kURLErrorDomain, code, std::move(info));
}

}  // namespace wv::net
