#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/net/ServerTrust.h"

namespace wv::net {

// What a connection asks its delegate during the handshake: whether to trust the server's
// chain, or which certificate to present when the server asks the client for one.
struct AuthenticationChallenge {
    enum class Kind { ServerTrust, ClientCertificate };
    Kind kind = Kind::ServerTrust;
    std::string host;
    int port = 0;
    std::shared_ptr<ServerTrust> serverTrust;  // set for server-trust challenges only
};

enum class ChallengeDisposition {
    UseCredential = 0,
    PerformDefaultHandling = 1,
    CancelAuthenticationChallenge = 2,
    RejectProtectionSpace = 3,
};

// A credential that accepts a server: made for the trust the challenge carried.
struct URLCredential {
    std::shared_ptr<ServerTrust> trust;
    static std::shared_ptr<URLCredential> forTrust(std::shared_ptr<ServerTrust> trust) {
        return std::make_shared<URLCredential>(URLCredential{std::move(trust)});
    }
};

using ChallengeCompletion =
    std::function<void(ChallengeDisposition, std::shared_ptr<URLCredential>)>;

}  // namespace wv::net
