#include "screens/statistics/Nib.h"

#include <map>

namespace wv::screens {

namespace {
std::map<std::string, Nib::Maker>& makers() {
    static std::map<std::string, Nib::Maker> registered;
    return registered;
}
}  // namespace

void Nib::registerMaker(const std::string& name, Maker maker) { makers()[name] = std::move(maker); }

std::vector<std::unique_ptr<View>> Nib::load(const std::string& name) {
    const auto found = makers().find(name);
    if (found == makers().end() || !found->second) return {};
    return found->second();
}

}  // namespace wv::screens
