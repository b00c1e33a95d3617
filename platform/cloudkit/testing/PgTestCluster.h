#pragma once

#include <memory>
#include <string>

namespace wv::ck::testing {

// A throwaway PostgreSQL cluster for tests. shared() is the run's cluster: the one the ctest
// fixture started (its state file in the build folder, or the one WOVANU_TEST_PG_CLUSTER
// names), or, for a test program run by hand, one started on first use and stopped when the
// program ends. A test that stops or restarts its server makes a private one (makePrivate()),
// so the tests of other processes keep theirs.
class PgTestCluster {
  public:
    static PgTestCluster& shared();
    static std::unique_ptr<PgTestCluster> makePrivate();
    ~PgTestCluster();

    const std::string& folder() const { return folder_; }
    int port() const { return port_; }

    // A new, empty database of its own for the calling test, as a connection string over
    // the unix socket.
    std::string freshDatabase();
    // The same database over 127.0.0.1.
    std::string overTcp(const std::string& connectionString) const;
    std::string connectionString(const std::string& database) const;

    // Runs SQL on `database` through psql; returns its unaligned output (rows of
    // |-separated values).
    std::string psql(const std::string& database, const std::string& sql) const;
    // pg_ctl as the cluster's owner: "stop -m immediate", "start"...
    bool pgctl(const std::string& arguments) const;
    // Restarts the server with TLS on, its certificate made by `openssl req` for localhost.
    bool serveTls();

  private:
    PgTestCluster() = default;
    bool start(const std::string& stateFile);
    void readState();

    std::string stateFile_;
    std::string folder_;
    int port_ = 0;
    bool owned_ = false;
    int databases_ = 0;
};

}  // namespace wv::ck::testing
