#pragma once

#include <map>
#include <memory>
#include <string>

namespace wv {

class TRNApplicationIdentiferModel;

// What the kit start hands over to, last: the settings download and the application's
// registration with the reporting service. The SDK shared object makes one right after its
// identity through the factory installed with Tarnel::setSettingsAndOnboardingFactory; with
// none installed there is no hand-over and the kits keep the settings file they have.
class TRNSettingsAndOnboarding {
  public:
    virtual ~TRNSettingsAndOnboarding() = default;
    // Called once, on the thread that started the SDK, with the API key and the kit versions.
    virtual void beginSettingsAndOnboardingOperations(
        const std::string& apiKey, const std::map<std::string, std::string>& kitVersions) = 0;
};

}  // namespace wv
