#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cloudkit/Backend.h"

namespace wv::ck {

// The stand-in's control surface. Everything it sets is kept in the container itself, so the
// installations of other processes obey it at their next call: per installation an account
// status and a dead network; faults on the next calls of a kind or on a record name; holding
// an installation right after its next commit until released; the server's page size and
// order, its notification limit, pushes to the originator, and an epoch reset that expires
// every change token. It also shows all the container holds, with its operation log.
class ContainerControl {
  public:
    explicit ContainerControl(std::unique_ptr<Backend> backend);

    // The kinds of call a fault can be armed for ("modify", "query"...).
    static const std::vector<std::string>& faultKinds();
    // What inspect() can show ("status", "records", "fields", "log"...).
    static const std::vector<std::string>& tables();

    std::optional<Error> open();
    std::string location() const;

    // None: as the account says (available with an account, no account without).
    std::optional<Error> setAccountStatus(const std::string& installation,
                                          std::optional<AccountStatus> status);
    std::optional<Error> setNetworkDown(const std::string& installation, bool down);
    // The next `count` calls of `kind` fail with `code`; "*" for every installation.
    std::optional<Error> failNext(const std::string& kind, int64_t count, ErrorCode code,
                                  const std::string& installation = "*");
    // The next `count` saves or fetches of the record named fail with `code`.
    std::optional<Error> failRecord(const std::string& recordName, int64_t count, ErrorCode code,
                                    const std::string& installation = "*");
    std::optional<Error> clearFaults();
    std::optional<Error> hold(const std::string& installation);
    std::optional<Error> release(const std::string& installation);
    // True while the installation waits after a commit.
    bool isHeld(const std::string& installation);
    std::optional<Error> setPageSize(int64_t records);
    std::optional<Error> setOrder(QueryOrder order, uint64_t seed = 1);
    std::optional<Error> setNotificationLimit(int64_t notifications);
    std::optional<Error> setPushToOriginator(bool on);
    std::optional<Error> resetEpoch();

    Table inspect(const std::string& table);

  private:
    std::unique_ptr<Backend> backend_;
};

}  // namespace wv::ck
