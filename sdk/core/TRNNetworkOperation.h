#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/net/URLRequest.h"
#include "sdk/core/TRNAsyncOperation.h"

namespace wv {

// The base of the kit core's own network work: the API key, and the one place where a
// request with the kit's default headers is made. No operation exists without an API key.
class TRNNetworkOperation : public TRNAsyncOperation {
  public:
    static constexpr const char* kDeveloperToken = "7c1e9a04b3d2f58e6a0c4b71d9e2f3a85b6c0d17";
    static constexpr double kDefaultTimeout = 10.0;

    // Nothing without a key; otherwise a T made from the key and the rest.
    template <class T = TRNNetworkOperation, class... Args>
    static std::shared_ptr<T> initWithAPIKey(const std::optional<std::string>& key,
                                             Args&&... args) {
        if (!key) return nullptr;
        return std::shared_ptr<T>(new T(*key, std::forward<Args>(args)...));
    }

    const std::string& APIKey() const { return APIKey_; }
    std::string className() const override { return "TRNNetworkOperation"; }

    net::URLRequest mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
        const std::string& url) const;
    net::URLRequest mutableRequestWithDefaultHTTPHeadersForURL(const std::string& url,
                                                               double timeout) const;
    // "io.tarnel.sdk.mac/1.7.5 (68)".
    static std::string userAgentString();
    // The user's locale in underscore form (en_US), from the environment; en_US when the
    // environment names none (the C locale).
    static std::string localeIdentifier();

  protected:
    explicit TRNNetworkOperation(std::string key) : APIKey_(std::move(key)) {}

  private:
    std::string APIKey_;
};

}  // namespace wv
