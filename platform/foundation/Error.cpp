#include "platform/foundation/Error.h"

namespace wv {

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

}  // namespace wv
