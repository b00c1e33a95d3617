#include "platform/net/Error.h"

namespace wv::net {

Error makeURLError(int64_t code, const std::string& url, const std::string& description) {
    Error e{kURLErrorDomain, code, {}};
    e.userInfo[kURLErrorFailingURLStringErrorKey] = url;
    if (!description.empty()) e.userInfo[Error::kLocalizedDescriptionKey] = description;
    return e;
}

}  // namespace wv::net
