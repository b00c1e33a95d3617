#include "platform/cloudkit/ContainerControl.h"

#include <algorithm>

namespace wv::ck {

namespace {

std::optional<Error> invalid(const std::string& what) {
    return Error(ErrorCode::InvalidArguments, what);
}

}  // namespace

ContainerControl::ContainerControl(std::unique_ptr<Backend> backend)
    : backend_(std::move(backend)) {}

const std::vector<std::string>& ContainerControl::faultKinds() {
    static const std::vector<std::string> kinds = {
        "account",           "modify",   "query", "fetch", "notifications", "subscriptions",
        "save-subscription", "key-value"};
    return kinds;
}

const std::vector<std::string>& ContainerControl::tables() {
    static const std::vector<std::string> names = {"status",
                                                   "changes",
                                                   "records",
                                                   "fields",
                                                   "subscriptions",
                                                   "notifications",
                                                   "installations",
                                                   "keyvalues",
                                                   "faults",
                                                   "settings",
                                                   "log"};
    return names;
}

std::optional<Error> ContainerControl::open() {
    if (!backend_) return Error(ErrorCode::NotAuthenticated, "no cloud is configured");
    return backend_->open();
}

std::string ContainerControl::location() const { return backend_ ? backend_->location() : "none"; }

std::optional<Error> ContainerControl::setAccountStatus(const std::string& installation,
                                                        std::optional<AccountStatus> status) {
    if (installation.empty()) return invalid("no installation named");
    if (auto e = open()) return e;
    return backend_->setAccountStatus(installation, status);
}

std::optional<Error> ContainerControl::setNetworkDown(const std::string& installation, bool down) {
    if (installation.empty()) return invalid("no installation named");
    if (auto e = open()) return e;
    return backend_->setNetworkDown(installation, down);
}

std::optional<Error> ContainerControl::failNext(const std::string& kind, int64_t count,
                                                ErrorCode code, const std::string& installation) {
    const auto& kinds = faultKinds();
    if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) {
        return invalid("no kind of call named \"" + kind + "\"");
    }
    if (count < 1) return invalid("a fault needs a count of at least 1");
    if (auto e = open()) return e;
    return backend_->addFault({installation.empty() ? "*" : installation, kind, "", count, code});
}

std::optional<Error> ContainerControl::failRecord(const std::string& recordName, int64_t count,
                                                  ErrorCode code, const std::string& installation) {
    if (recordName.empty()) return invalid("no record named");
    if (count < 1) return invalid("a fault needs a count of at least 1");
    if (auto e = open()) return e;
    return backend_->addFault(
        {installation.empty() ? "*" : installation, "record", recordName, count, code});
}

std::optional<Error> ContainerControl::clearFaults() {
    if (auto e = open()) return e;
    return backend_->clearFaults();
}

std::optional<Error> ContainerControl::hold(const std::string& installation) {
    if (installation.empty()) return invalid("no installation named");
    if (auto e = open()) return e;
    return backend_->setHold(installation, true);
}

std::optional<Error> ContainerControl::release(const std::string& installation) {
    if (installation.empty()) return invalid("no installation named");
    if (auto e = open()) return e;
    return backend_->setHold(installation, false);
}

bool ContainerControl::isHeld(const std::string& installation) {
    const Table table = inspect("installations");
    if (table.error) return false;
    const auto id =
        std::find(table.columns.begin(), table.columns.end(), "id") - table.columns.begin();
    const auto held =
        std::find(table.columns.begin(), table.columns.end(), "held") - table.columns.begin();
    for (const auto& row : table.rows) {
        if (size_t(id) < row.size() && size_t(held) < row.size() && row[id] == installation) {
            return row[held] == "1";
        }
    }
    return false;
}

std::optional<Error> ContainerControl::setPageSize(int64_t records) {
    if (records < 1) return invalid("a page holds at least 1 record");
    if (auto e = open()) return e;
    return backend_->setSetting("page-size", std::to_string(records));
}

std::optional<Error> ContainerControl::setOrder(QueryOrder order, uint64_t seed) {
    if (auto e = open()) return e;
    const char* name = order == QueryOrder::Reversed ? "reversed"
                       : order == QueryOrder::Random ? "random"
                                                     : "creation";
    if (auto e = backend_->setSetting("order", name)) return e;
    return backend_->setSetting("seed", std::to_string(seed));
}

std::optional<Error> ContainerControl::setNotificationLimit(int64_t notifications) {
    if (notifications < 1) return invalid("a fetch delivers at least 1 notification");
    if (auto e = open()) return e;
    return backend_->setSetting("notification-limit", std::to_string(notifications));
}

std::optional<Error> ContainerControl::setPushToOriginator(bool on) {
    if (auto e = open()) return e;
    return backend_->setSetting("push-originator", on ? "1" : "0");
}

std::optional<Error> ContainerControl::resetEpoch() {
    if (auto e = open()) return e;
    return backend_->resetEpoch();
}

Table ContainerControl::inspect(const std::string& table) {
    Table result;
    if (auto e = open()) {
        result.error = e;
        return result;
    }
    return backend_->inspect(table);
}

}  // namespace wv::ck
