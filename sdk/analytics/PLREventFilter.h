#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wv {

class PLREvent;

// Thins out the kit's own automatic events to the share of installations the server asks
// for. The choice depends on the installation identifier alone, so an installation keeps
// all its sampled events or none, the same in every run. Application events (custom,
// predefined), installs and beta installations are never sampled.
class PLREventFilter {
  public:
    static bool shouldDiscardEvent(const PLREvent* event,
                                   const std::optional<std::string>& betaToken,
                                   const std::optional<std::string>& installationID,
                                   int64_t factor);
    static bool samplingEnabledForEventType(std::string_view name);
    // Keeps everything for no identifier or a factor below 2; else drops unless the signed
    // hash is a multiple of the factor.
    static bool shouldDiscardEventWithInstallationID(const std::optional<std::string>& id,
                                                     int64_t factor);
    // h = 31 h + unit over the UTF-16 units, wrapping in 32 bits, read as signed. Stored
    // sample choices depend on this exact value: it must not change.
    static int32_t javaHashCodeForString(std::string_view utf8);
};

}  // namespace wv
