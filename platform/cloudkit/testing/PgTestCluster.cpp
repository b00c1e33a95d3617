#include "platform/cloudkit/testing/PgTestCluster.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace wv::ck::testing {

namespace {

std::string shell(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    pclose(pipe);
    return text;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

PgTestCluster& PgTestCluster::shared() {
    static std::unique_ptr<PgTestCluster> cluster = [] {
        std::unique_ptr<PgTestCluster> c(new PgTestCluster());
        // The ctest fixture's cluster, when it runs: its state file names a folder that holds
        // the server's socket (a file left by an interrupted run names none).
        const char* named = std::getenv("WOVANU_TEST_PG_CLUSTER");
        c->stateFile_ = named ? named : WOVANU_PG_TEST_STATE;
        if (std::ifstream(c->stateFile_)) {
            c->readState();
            const std::string socket = c->folder_ + "/.s.PGSQL." + std::to_string(c->port_);
            if (!c->folder_.empty() && access(socket.c_str(), F_OK) == 0) return c;
        }
        c = std::unique_ptr<PgTestCluster>(new PgTestCluster());
        if (!c->start("/tmp/wvpg-state." + std::to_string(getpid())))
            throw std::runtime_error("cannot start a PostgreSQL cluster for the tests");
        return c;
    }();
    return *cluster;
}

std::unique_ptr<PgTestCluster> PgTestCluster::makePrivate() {
    std::unique_ptr<PgTestCluster> c(new PgTestCluster());
    static int made = 0;
    if (!c->start("/tmp/wvpg-state." + std::to_string(getpid()) + "." + std::to_string(++made)))
        throw std::runtime_error("cannot start a PostgreSQL cluster for the test");
    return c;
}

PgTestCluster::~PgTestCluster() {
    if (owned_)
        shell(std::string(WOVANU_PG_CLUSTER_SCRIPT) + " stop " + quoted(stateFile_) + " 2>&1");
}

bool PgTestCluster::start(const std::string& stateFile) {
    stateFile_ = stateFile;
    shell(std::string(WOVANU_PG_CLUSTER_SCRIPT) + " start " + quoted(stateFile_) + " 2>&1");
    std::ifstream probe(stateFile_);
    if (!probe) return false;
    owned_ = true;
    readState();
    return true;
}

void PgTestCluster::readState() {
    std::ifstream in(stateFile_);
    in >> folder_ >> port_;
}

std::string PgTestCluster::connectionString(const std::string& database) const {
    return "host=" + folder_ + " port=" + std::to_string(port_) + " user=wovanu dbname=" + database;
}

std::string PgTestCluster::overTcp(const std::string& connectionString) const {
    std::string text = connectionString;
    const auto at = text.find("host=" + folder_);
    if (at != std::string::npos) text.replace(at, 5 + folder_.size(), "host=127.0.0.1");
    return text;
}

std::string PgTestCluster::freshDatabase() {
    const std::string name = "wvt_" + std::to_string(getpid()) + "_" + std::to_string(++databases_);
    // Two calls: psql runs one -c string as one transaction, and CREATE DATABASE refuses one.
    psql("postgres", "DROP DATABASE IF EXISTS " + name);
    const std::string said = psql("postgres", "CREATE DATABASE " + name);
    if (!said.empty()) throw std::runtime_error("cannot create a test database: " + said);
    return connectionString(name);
}

std::string PgTestCluster::psql(const std::string& database, const std::string& sql) const {
    return shell("psql -X -q -A -t -v ON_ERROR_STOP=1 " + quoted(connectionString(database)) +
                 " -c " + quoted(sql) + " 2>&1");
}

bool PgTestCluster::serveTls() {
    const std::string owner = geteuid() == 0 ? "runuser -u postgres -- " : "";
    const std::string data = quoted(folder_ + "/data");
    const std::string command =
        "cd " + data + " && " + owner +
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost"
        " -keyout server.key -out server.crt >/dev/null 2>&1 && " +
        owner + "chmod 600 server.key && printf \"ssl = on\\n\" | " + owner +
        "tee -a postgresql.conf >/dev/null";
    return std::system(command.c_str()) == 0 && pgctl("restart");
}

bool PgTestCluster::pgctl(const std::string& arguments) const {
    const std::string owner = geteuid() == 0 ? "runuser -u postgres -- " : "";
    const std::string command =
        owner + "\"$(pg_config --bindir)/pg_ctl\" -D " + quoted(folder_ + "/data") + " -w -l " +
        quoted(folder_ + "/server.log") + " " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace wv::ck::testing
