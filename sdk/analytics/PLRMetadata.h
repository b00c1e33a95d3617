#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sdk/analytics/PLRMetadataSerializable.h"

namespace wv {

class Tarnel;

// One run of the host application: the application, the installation and run, and the
// machine. Filled once when made; only read afterwards, from any thread. A fact the host
// cannot give is left out of the dictionary rather than written empty.
class PLRMetadata : public PLRMetadataSerializable {
  public:
    static constexpr const char* kGenerator = "Plurio Mac SDK/1.3.7";

    PLRMetadata(Tarnel& tarnel, const std::optional<std::string>& betaToken);

    // "2:<token>" gives the token; any other form none.
    static std::optional<std::string> unwrapBetaToken(const std::optional<std::string>& token);

    const std::optional<std::string>& APIKey() const { return APIKey_; }
    const std::optional<std::string>& betaToken() const { return betaToken_; }
    const std::optional<std::string>& buildVersion() const { return buildVersion_; }
    const std::optional<std::string>& bundleIdentifier() const { return bundleIdentifier_; }
    const std::optional<std::string>& displayVersion() const { return displayVersion_; }
    const std::string& executionIdentifier() const { return executionIdentifier_; }
    const std::optional<std::string>& hostModel() const { return hostModel_; }
    const std::string& installationId() const { return installationId_; }
    const std::optional<std::string>& instanceIdentifier() const { return instanceIdentifier_; }
    bool isJailbroken() const { return false; }
    const std::optional<std::string>& locale() const { return locale_; }
    uint32_t numberOfCores() const { return numberOfCores_; }
    const std::optional<std::string>& OSBuildVersion() const { return OSBuildVersion_; }
    const std::string& OSDisplayVersion() const { return OSDisplayVersion_; }
    const std::string& platform() const { return platform_; }

    std::string eventName() const override { return "metadata"; }
    nlohmann::ordered_json dictionaryRepresentationWithStartTime(uint64_t startTime) const override;

  private:
    std::optional<std::string> APIKey_;
    std::optional<std::string> betaToken_;
    std::optional<std::string> buildVersion_;
    std::optional<std::string> bundleIdentifier_;
    std::optional<std::string> displayVersion_;
    std::string executionIdentifier_;
    std::optional<std::string> hostModel_;
    std::string installationId_;
    std::optional<std::string> instanceIdentifier_;
    std::optional<std::string> locale_;
    uint32_t numberOfCores_ = 0;
    std::optional<std::string> OSBuildVersion_;
    std::string OSDisplayVersion_;
    std::string platform_ = "Mac";
};

}  // namespace wv
