#include "sdk/analytics/PLRMetadata.h"

#include <unistd.h>

#include "platform/foundation/Locale.h"
#include "sdk/core/TRNApplication.h"
#include "sdk/core/TRNHost.h"
#include "sdk/core/Tarnel.h"

namespace wv {

namespace {

template <class T>
void setValue(nlohmann::ordered_json& dictionary, const char* key, const std::optional<T>& value) {
    if (value) dictionary[key] = *value;
}

uint32_t processorCount() {
    const long n = sysconf(_SC_NPROCESSORS_CONF);
    return n > 0 ? uint32_t(n) : 0;
}

}  // namespace

PLRMetadata::PLRMetadata(Tarnel& tarnel, const std::optional<std::string>& betaToken)
    : APIKey_(tarnel.APIKey()),
      betaToken_(unwrapBetaToken(betaToken)),
      buildVersion_(TRNApplicationBuildVersion()),
      bundleIdentifier_(TRNApplicationBundleIdentifier()),
      displayVersion_(TRNApplicationDisplayVersion()),
      executionIdentifier_(tarnel.executionIdentifier()),
      hostModel_(TRNHostModel()),
      installationId_(tarnel.installID()),
      instanceIdentifier_(tarnel.instanceIdentifier()),
      locale_(Locale::currentIdentifier()),
      numberOfCores_(processorCount()),
      OSBuildVersion_(TRNHostOSBuildVersion()),
      OSDisplayVersion_(TRNHostOSDisplayVersion()) {}

std::optional<std::string> PLRMetadata::unwrapBetaToken(const std::optional<std::string>& token) {
    if (!token) return std::nullopt;
    const size_t colon = token->find(':');
    if (colon == std::string::npos || token->find(':', colon + 1) != std::string::npos)
        return std::nullopt;
    if (token->substr(0, colon) != "2") return std::nullopt;
    return token->substr(colon + 1);
}

nlohmann::ordered_json PLRMetadata::dictionaryRepresentationWithStartTime(
    uint64_t startTime) const {
    // No advertising framework exists on this platform: its values are fixed here.
    const std::optional<std::string> identifierForAdvertising;
    const bool advertisingSupportFrameworkLinked = false;
    const bool trackingForAdvertisingEnabled = false;
    const uint32_t platformCode = 0;

    nlohmann::ordered_json d = nlohmann::ordered_json::object();
    d["generator"] = kGenerator;
    setValue(d, "api_key", APIKey_);
    d["session_id"] = executionIdentifier_;
    d["started_at"] = startTime;
    setValue(d, "advertising_id", identifierForAdvertising);
    setValue(d, "beta_tester_token", betaToken_);
    d["links_ad_support"] = advertisingSupportFrameworkLinked;
    d["advertising_tracking_enabled"] = trackingForAdvertisingEnabled;
    d["install_id"] = installationId_;
    setValue(d, "model", hostModel_);
    setValue(d, "machine", hostModel_);
    setValue(d, "locale", locale_);
    setValue(d, "os_build", OSBuildVersion_);
    d["os_version"] = OSDisplayVersion_;
    d["platform"] = platform_;
    d["platform_code"] = platformCode;
    d["cores"] = numberOfCores_;
    d["jailbroken"] = isJailbroken();
    setValue(d, "bundle_id", bundleIdentifier_);
    setValue(d, "bundle_version", buildVersion_);
    setValue(d, "bundle_short_version", displayVersion_);
    setValue(d, "instance_id", instanceIdentifier_);
    return d;
}

}  // namespace wv
