#include "storage/DictionaryUtils.h"

#include <cmath>

namespace wv {

int64_t intForKey(const plist::Dictionary& dictionary, std::string_view key, int64_t fallback) {
    const plist::Value* value = dictionary.find(key);
    if (!value) return fallback;
    if (auto i = value->get<int64_t>()) return *i;
    if (auto b = value->get<bool>()) return *b ? 1 : 0;
    if (auto d = value->get<double>()) {
        if (std::isfinite(*d) && std::fabs(*d) < 9.2e18) return int64_t(*d);
    }
    return fallback;
}

bool boolForKey(const plist::Dictionary& dictionary, std::string_view key, bool fallback) {
    const plist::Value* value = dictionary.find(key);
    if (!value) return fallback;
    if (auto b = value->get<bool>()) return *b;
    if (auto i = value->get<int64_t>()) return *i != 0;
    if (auto d = value->get<double>()) return *d != 0;
    return fallback;
}

}  // namespace wv
