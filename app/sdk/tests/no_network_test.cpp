// A build that names no endpoint sends nothing: the program, started, typed into and quit
// under strace, opens no network socket.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <sstream>

#include "app/sdk/tests/DriverRun.h"

namespace wv {
namespace {

using net::testing::TestServer;

// The socket and connect calls of a trace that reach for the network: anything of the
// internet families (a local socket to a display or bus is no network).
std::vector<std::string> networkCalls(const std::filesystem::path& trace) {
    std::vector<std::string> calls;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
        if (line.find("AF_INET") != std::string::npos ||
            line.find("AF_INET6") != std::string::npos ||
            line.find("sa_family=AF_INET") != std::string::npos)
            calls.push_back(line);
    }
    return calls;
}

class NoNetwork : public ::testing::Test {
  protected:
    NoNetwork() {
        char pattern[] = "/tmp/wovanu-no-network-XXXXXX";
        folder_ = mkdtemp(pattern);
        std::filesystem::create_directories(folder_ / "data");
        std::filesystem::create_directories(folder_ / "cache");
    }
    ~NoNetwork() override {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

    // The typed and quit run under strace; the trace goes to `trace`.
    test::RunResult tracedRun(const std::map<std::string, std::string>& endpoints,
                              const std::filesystem::path& trace,
                              const std::vector<std::string>& steps) {
        std::map<std::string, std::string> set{{"QT_QPA_PLATFORM", "offscreen"},
                                               {"XDG_DATA_HOME", (folder_ / "data").string()},
                                               {"XDG_CACHE_HOME", (folder_ / "cache").string()},
                                               {"HOME", folder_.string()},
                                               {"WOVANU_BUNDLE_DIR", WV_BUNDLE_DIR}};
        set.insert(endpoints.begin(), endpoints.end());
        const std::vector<std::string> unset{"SettingsEndpoint", "ConfigureEndpoint",
                                             "QuellixReportsEndpoint", "QuellixBetaEndpoint",
                                             "http_proxy", "https_proxy", "all_proxy"};
        std::vector<std::string> removed;
        for (const auto& name : unset)
            if (!endpoints.count(name)) removed.push_back(name);
        std::vector<std::string> argv{"/usr/bin/strace", "-f", "-qq", "-e", "trace=socket,connect",
                                      "-o", trace.string(), WV_APP_SDK_DRIVER};
        argv.insert(argv.end(), steps.begin(), steps.end());
        return test::runProcess(argv, test::environmentWith(set, removed), folder_ / "output");
    }

    std::filesystem::path folder_;
};

TEST_F(NoNetwork, TheDefaultBuildOpensNoNetworkSocket) {
    if (WV_ENDPOINTS_NAMED) GTEST_SKIP() << "this build names an endpoint of the reporting SDK";
    const auto trace = folder_ / "trace";
    const auto run = tracedRun({}, trace, {"type-line", "return", "settle", "quit"});
    ASSERT_TRUE(run.exited && run.exitCode == 0) << run.describe();
    ASSERT_TRUE(std::filesystem::exists(trace));
    const auto calls = networkCalls(trace);
    EXPECT_TRUE(calls.empty()) << calls.front();
}

// The same trace sees the connections of a run that names the service: the check above
// looks where sockets would show.
TEST_F(NoNetwork, ARunThatNamesTheServiceShowsItsConnectionsInTheTrace) {
    auto server = TestServer::startHTTP();
    const auto trace = folder_ / "trace";
    const auto release = folder_ / "release";
    auto running = std::async(std::launch::async, [&] {
        return tracedRun({{"SettingsEndpoint", server->url("")}}, trace,
                         {"wait-file:" + release.string(), "quit"});
    });
    const bool asked = server->waitForRequests(1, 60);
    std::ofstream(release) << "go";
    const auto run = running.get();
    ASSERT_TRUE(run.exited && run.exitCode == 0) << run.describe();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(networkCalls(trace).empty());
}

}  // namespace
}  // namespace wv
