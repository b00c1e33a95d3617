#include "platform/net/Error.h"

namespace wv::net {

std::string Error::localizedDescription() const {
    if (auto it = userInfo.find(kLocalizedDescriptionKey); it != userInfo.end()) {
        if (auto* text = std::any_cast<std::string>(&it->second)) return *text;
    }
    return domain + " error " + std::to_string(code);
}

std::string Error::description() const {
    return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" +
           localizedDescription() + "\"";
}

Error makeURLError(int64_t code, const std::string& url, const std::string& description) {
    Error e{kURLErrorDomain, code, {}};
    e.userInfo[kURLErrorFailingURLStringErrorKey] = url;
    if (!description.empty()) e.userInfo[Error::kLocalizedDescriptionKey] = description;
    return e;
}

}  // namespace wv::net
