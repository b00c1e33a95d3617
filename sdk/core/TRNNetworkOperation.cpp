#include "sdk/core/TRNNetworkOperation.h"

#include "platform/foundation/Locale.h"
#include "sdk/core/Tarnel.h"

namespace wv {

std::string TRNNetworkOperation::userAgentString() {
    return std::string(Tarnel::kKitIdentifier) + "/" + Tarnel::kDisplayVersion + " (" +
           Tarnel::kBuildVersion + ")";
}

std::string TRNNetworkOperation::localeIdentifier() {
    return Locale::currentIdentifier().value_or("en_US");
}

net::URLRequest TRNNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
    const std::string& url) const {
    return mutableRequestWithDefaultHTTPHeadersForURL(url, kDefaultTimeout);
}

net::URLRequest TRNNetworkOperation::mutableRequestWithDefaultHTTPHeadersForURL(
    const std::string& url, double timeout) const {
    net::URLRequest request(url, timeout);
    request.cachePolicy = net::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData;
    const std::string locale = localeIdentifier();
    request.headers.set("User-Agent", userAgentString());
    request.headers.set("Accept-Charset", "utf-8");
    request.headers.set("Accept-Language", locale);
    request.headers.set("Content-Language", locale);
    request.headers.set("X-Quellix-Developer-Token", kDeveloperToken);
    request.headers.set("X-Quellix-API-Client-Id", Tarnel::kKitIdentifier);
    request.headers.set("X-Quellix-API-Client-Display-Version", Tarnel::kDisplayVersion);
    request.headers.set("X-Quellix-API-Client-Build-Version", Tarnel::kBuildVersion);
    request.headers.set("X-Quellix-API-Key", APIKey_);
    return request;
}

}  // namespace wv
