#pragma once

#include <optional>

#include "platform/net/Error.h"

namespace wv {

class TRNOnboardingOperation;

// Told once when a registration request has ended, by the kind of registration it was.
class TRNOnboardingOperationDelegate {
  public:
    virtual ~TRNOnboardingOperationDelegate() = default;
    virtual void onboardingOperationDidCompleteAppCreationWithError(
        TRNOnboardingOperation& operation, const std::optional<net::Error>& error) = 0;
    virtual void onboardingOperationDidCompleteAppUpdateWithError(
        TRNOnboardingOperation& operation, const std::optional<net::Error>& error) = 0;
};

}  // namespace wv
