#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/Certificate.h"
#include "platform/net/ServerTrust.h"
#include "platform/net/URLSession.h"

namespace wv::net {

class SessionEngine;

// A chain to judge, as ServerTrust holds it.
struct TrustQuestion {
    const Certificate& leaf;
    const std::vector<Certificate>& intermediates;
    const std::string& host;
    const std::vector<Certificate>& anchors;
    bool anchorsOnly;
};

// What libcurl and OpenSSL do for this layer. They live in a module of their own
// (wovanu-net.so), opened at the first call that needs one of them, so a run that never
// goes on the network never loads either library.
class NetModule {
  public:
    virtual ~NetModule() = default;

    // The module's one instance, opened at the first call. nullptr when it cannot be opened;
    // the reason is logged once, and callers then fail as they would without a network.
    static NetModule* shared();

    virtual std::shared_ptr<SessionEngine> makeSessionEngine(
        URLSessionConfiguration configuration, std::shared_ptr<URLSessionDelegate> delegate,
        URLSession::Executor executor) = 0;

    virtual bool isValidURL(const std::string& text) = 0;
    virtual std::vector<Certificate> certificatesInPEMFile(const std::string& path) = 0;
    virtual std::string subjectCommonName(const Certificate& certificate) = 0;
    // As ServerTrust::evaluate; `failure` gets OpenSSL's reason when the chain does not hold.
    virtual int evaluateTrust(const TrustQuestion& question, TrustResult* result,
                              std::string* failure) = 0;
    // The roots that stand for the system's (see TrustAnchors).
    virtual void setSystemAnchors(std::optional<std::vector<Certificate>> anchors) = 0;
};

}  // namespace wv::net
