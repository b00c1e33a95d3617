#include "sdk/core/TRNApplication.h"

#include <algorithm>

#include "platform/foundation/Text.h"
#include "platform/plist/BundleInfo.h"
#include "sdk/core/Tarnel.h"

namespace wv {

namespace {

// A boolean as the platform's boolValue reads a property-list value: a boolean or number by
// its truth, a string by its text; none for any other kind.
std::optional<bool> boolValueOf(const plist::Value* value) {
    if (!value) return std::nullopt;
    if (auto* b = value->get<bool>()) return *b;
    if (auto* i = value->get<int64_t>()) return *i != 0;
    if (auto* d = value->get<double>()) return *d != 0.0;
    if (auto* s = value->get<std::string>()) return text::boolValue(*s);
    return std::nullopt;
}

}  // namespace

std::string TRNEscapedBundleIdentifier(std::string identifier) {
    std::replace(identifier.begin(), identifier.end(), '/', '_');
    return identifier;
}

std::optional<std::string> TRNApplicationBundleIdentifier() {
    auto identifier = BundleInfo::main()->identifier();
    if (!identifier) return std::nullopt;
    return TRNEscapedBundleIdentifier(*identifier);
}

std::optional<std::string> TRNApplicationBuildVersion() {
    return BundleInfo::main()->stringForKey("CFBundleVersion");
}

std::optional<std::string> TRNApplicationDisplayVersion() {
    return BundleInfo::main()->stringForKey("CFBundleShortVersionString");
}

std::optional<std::string> TRNApplicationName() {
    auto info = BundleInfo::main();
    if (auto name = info->stringForKey("CFBundleDisplayName")) return name;
    if (auto name = info->stringForKey("CFBundleName")) return name;
    return TRNApplicationBuildVersion();
}

bool TRNAppStoreReceiptExists() {
    // No application store on this platform leaves a receipt beside the program, so there is
    // no file to look for whatever the system version says.
    return false;
}

bool TRNApplicationIsSignedForDistribution() {
    return boolValueOf(
               BundleInfo::main()->objectForInfoDictionaryKey("QuellixSignedForDistribution"))
        .value_or(false);
}

int TRNApplicationInstallSource() {
    if (TRNAppStoreReceiptExists()) return 4;
    if (TRNApplicationIsSignedForDistribution()) return 3;
    return 1;
}

bool TRNShouldCollectDeviceIdentifiersInMode(bool orvelleMode) {
    if (orvelleMode) return false;
    auto info = BundleInfo::main();
    if (const plist::Value* tarnel = info->objectForInfoDictionaryKey("Tarnel")) {
        if (auto* config = tarnel->get<plist::Dictionary>()) {
            if (auto report = boolValueOf(config->find("ReportIdentifiers"))) return *report;
        }
    }
    if (auto collect =
            boolValueOf(info->objectForInfoDictionaryKey("QuellixCollectDeviceIdentifiers"))) {
        return *collect;
    }
    return true;
}

bool TRNShouldCollectDeviceIdentifiers() {
    return TRNShouldCollectDeviceIdentifiersInMode(Tarnel::sharedSDK().orvelleMode());
}

}  // namespace wv
