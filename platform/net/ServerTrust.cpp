#include "platform/net/ServerTrust.h"

#include "platform/net/NetModule.h"

namespace wv::net {

ServerTrust::ServerTrust(Certificate leaf, std::vector<Certificate> intermediates, std::string host)
    : leaf_(std::move(leaf)), intermediates_(std::move(intermediates)), host_(std::move(host)) {
    // "[::1]" arrives bracketed from URLs; the certificate carries the bare address.
    if (host_.size() > 2 && host_.front() == '[' && host_.back() == ']')
        host_ = host_.substr(1, host_.size() - 2);
}

int ServerTrust::setAnchorCertificates(std::vector<Certificate> anchors) {
    std::lock_guard lock(mutex_);
    anchors_ = std::move(anchors);
    return 0;
}

int ServerTrust::setAnchorCertificatesOnly(bool only) {
    std::lock_guard lock(mutex_);
    anchorsOnly_ = only;
    return 0;
}

std::string ServerTrust::lastFailure() const {
    std::lock_guard lock(mutex_);
    return lastFailure_;
}

int ServerTrust::evaluate(TrustResult* result) {
    std::lock_guard lock(mutex_);
    *result = TrustResult::Invalid;
    if (!leaf_) return -1;
    NetModule* module = NetModule::shared();
    if (!module) return -1;
    return module->evaluateTrust({leaf_, intermediates_, host_, anchors_, anchorsOnly_}, result,
                                 &lastFailure_);
}

}  // namespace wv::net
