#pragma once

// The crash kit and the analytics kit are siblings: neither links the other. The analytics kit
// registers its kit class under kClassName with these operations in the class's `operations`
// (a std::shared_ptr<const TRNPlurioOperations>); the crash kit finds them by that name and
// calls only what is there (an empty function is an operation the kit does not offer).

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/plist/Value.h"

namespace wv {

struct TRNPlurioOperations {
    static constexpr const char* kClassName = "Plurio";

    // `startWithBetaToken:`: starts the analytics kit once; the token is none on this platform.
    std::function<void(const std::optional<std::string>& betaToken)> startWithBetaToken;
    // `logPreviousSessionCrashedOnDate:` with the crashed run's report date.
    std::function<void(plist::Date dateCreated)> logPreviousSessionCrashedOnDate;
    // `logCustomEventWithName:customAttributes:`.
    std::function<void(const std::string& name,
                       const std::optional<plist::Dictionary>& customAttributes)>
        logCustomEventWithName;
};

// The linked analytics kit's operations, or null when no kit of that name is linked or its
// class carries none.
std::shared_ptr<const TRNPlurioOperations> TRNPlurioOperationsIfLinked();

}  // namespace wv
