#pragma once

#include <memory>
#include <string>

#include "platform/net/HTTPHeaders.h"
#include "platform/net/URLSessionConfiguration.h"

namespace wv {

// A session configuration handed out by the facade: the platform's when its session is in
// use, else one of the kit's own, of which only the additional headers are ever used. There
// is no background configuration on this system: those factories give nothing.
class QXURLSessionConfiguration {
  public:
    static std::shared_ptr<QXURLSessionConfiguration> defaultSessionConfiguration();
    static std::shared_ptr<QXURLSessionConfiguration> ephemeralSessionConfiguration();
    static std::shared_ptr<QXURLSessionConfiguration> backgroundSessionConfigurationWithIdentifier(
        const std::string& identifier);
    static std::shared_ptr<QXURLSessionConfiguration> backgroundSessionConfiguration(
        const std::string& identifier);

    // An own configuration's copy carries only the additional headers.
    std::shared_ptr<QXURLSessionConfiguration> copy() const;

    bool isPlatformConfiguration() const { return platform_; }
    net::URLSessionConfiguration platformConfiguration() const;

    net::HTTPHeaders HTTPAdditionalHeaders;
    unsigned HTTPCookieAcceptPolicy = 0;
    double timeoutIntervalForRequest = 0;
    double timeoutIntervalForResource = 0;
    bool allowsCellularAccess = false;
    bool sessionSendsLaunchEvents() const { return false; }
    void setSessionSendsLaunchEvents(bool) {}

  private:
    bool platform_ = false;
};

}  // namespace wv
