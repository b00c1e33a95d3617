#include "sdk/core/QXURLSessionConfiguration.h"

#include "sdk/core/QXURLSession.h"

namespace wv {

std::shared_ptr<QXURLSessionConfiguration>
QXURLSessionConfiguration::defaultSessionConfiguration() {
    auto c = std::make_shared<QXURLSessionConfiguration>();
    if (QXURLSession::NSURLSessionShouldBeUsed()) {
        const auto platform = net::URLSessionConfiguration::defaultSessionConfiguration();
        c->platform_ = true;
        c->HTTPAdditionalHeaders = platform.HTTPAdditionalHeaders;
        c->HTTPCookieAcceptPolicy = platform.HTTPCookieAcceptPolicy;
        c->timeoutIntervalForRequest = platform.timeoutIntervalForRequest;
        c->timeoutIntervalForResource = platform.timeoutIntervalForResource;
        c->allowsCellularAccess = platform.allowsCellularAccess;
    }
    return c;
}

std::shared_ptr<QXURLSessionConfiguration>
QXURLSessionConfiguration::ephemeralSessionConfiguration() {
    return defaultSessionConfiguration();
}

std::shared_ptr<QXURLSessionConfiguration>
QXURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(const std::string&) {
    return nullptr;
}

std::shared_ptr<QXURLSessionConfiguration>
QXURLSessionConfiguration::backgroundSessionConfiguration(const std::string& identifier) {
    return backgroundSessionConfigurationWithIdentifier(identifier);
}

std::shared_ptr<QXURLSessionConfiguration> QXURLSessionConfiguration::copy() const {
    if (platform_) return std::make_shared<QXURLSessionConfiguration>(*this);
    auto c = std::make_shared<QXURLSessionConfiguration>();
    c->HTTPAdditionalHeaders = HTTPAdditionalHeaders;
    return c;
}

net::URLSessionConfiguration QXURLSessionConfiguration::platformConfiguration() const {
    net::URLSessionConfiguration c;
    c.HTTPAdditionalHeaders = HTTPAdditionalHeaders;
    if (timeoutIntervalForRequest > 0) c.timeoutIntervalForRequest = timeoutIntervalForRequest;
    if (timeoutIntervalForResource > 0) c.timeoutIntervalForResource = timeoutIntervalForResource;
    c.allowsCellularAccess = allowsCellularAccess;
    c.HTTPCookieAcceptPolicy = HTTPCookieAcceptPolicy;
    return c;
}

}  // namespace wv
