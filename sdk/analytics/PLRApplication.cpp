#include "sdk/analytics/PLRApplication.h"

#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Log.h"
#include "platform/plist/BundleInfo.h"

namespace wv {

PLRApplication::PLRApplication(plist::Dictionary infoPlistDict) : info_(std::move(infoPlistDict)) {}

PLRApplication PLRApplication::hostApplication() {
    auto info = BundleInfo::main();
    if (info && info->infoDictionary()) return PLRApplication(*info->infoDictionary());
    return PLRApplication(plist::Dictionary{});
}

std::optional<std::string> PLRApplication::string(const char* key) const {
    const plist::Value* v = info_.find(key);
    if (!v || !v->is<std::string>()) return std::nullopt;
    return *v->get<std::string>();
}

std::optional<std::string> PLRApplication::bundleIdentifier() const {
    return string("CFBundleIdentifier");
}
std::optional<std::string> PLRApplication::bundleVersion() const {
    return string("CFBundleVersion");
}
std::optional<std::string> PLRApplication::shortVersionString() const {
    return string("CFBundleShortVersionString");
}

std::optional<plist::Dictionary> PLRApplication::extensionDefinitionDictionary() const {
    const plist::Value* v = info_.find("NSExtension");
    if (!v) return std::nullopt;
    if (const auto* d = v->get<plist::Dictionary>()) return *d;
    Log::system("Error: NSExtension Info.plist entry is mal-formed " + plist::toXml(*v) + "\n");
    return std::nullopt;
}

std::optional<std::string> PLRApplication::extensionPointIdentifier() const {
    auto extension = extensionDefinitionDictionary();
    if (!extension) return std::nullopt;
    const plist::Value* v = extension->find("NSExtensionPointIdentifier");
    if (v && v->is<std::string>()) return *v->get<std::string>();
    Log::system("Error: NSExtensionPointIdentifier Info.plist entry is mal-formed\n");
    return std::nullopt;
}

bool PLRApplication::isExtension() const { return extensionPointIdentifier().has_value(); }

std::any PLRApplication::appSharedInstance() const {
    if (isExtension()) return {};
    return ClassRegistry::shared().classNamed("NSApplication");
}

}  // namespace wv
