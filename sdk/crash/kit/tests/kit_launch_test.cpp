// Launches of a program that starts the SDK as the application does, against a loopback
// reports server: a crash in one launch is sent, symbolicated, exactly once, by a later one,
// whatever the way it crashed, when it crashed and whether the server was there.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "KitTestSupport.h"
#include "platform/net/testing/TestServer.h"
#include "sdk/crash/context/QXFileReadSections.h"

namespace wv {
namespace {

using net::testing::TestServer;
using test::KitTempFolder;
using test::readText;

const std::string kReportsPath =
    std::string("/sdk-api/v1/platforms/mac/apps/") + test::kTestBundleIdentifier + "/reports";
// Nothing listens there: a server that is down.
const std::string kDeadEndpoint = "http://127.0.0.1:1";

struct Launch {
    int status = 0;
    std::string output;

    bool exitedCleanly() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
    size_t count(const std::string& text) const {
        size_t n = 0;
        for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + 1))
            ++n;
        return n;
    }
};

// One installation of the program: its data, cache and bundle folders, kept across launches.
class Installation {
  public:
    Installation() {
        std::filesystem::create_directories(folder_ / "data");
        std::filesystem::create_directories(folder_ / "cache");
        test::writeBundle(folder_ / "bundle");
    }

    Launch run(const std::vector<std::string>& arguments, const std::string& endpoint) {
        const auto output = folder_ / "output";
        Launch launch;
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
            setenv("XDG_CACHE_HOME", (folder_ / "cache").c_str(), 1);
            setenv("WOVANU_BUNDLE_DIR", (folder_ / "bundle").c_str(), 1);
            setenv("QuellixReportsEndpoint", endpoint.c_str(), 1);
            const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            std::vector<std::string> argv{WV_KIT_CHILD};
            argv.insert(argv.end(), arguments.begin(), arguments.end());
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        waitpid(pid, &launch.status, 0);
        launch.output = readText(output);
        return launch;
    }

    // The report tree's v3 folder (its namespace folder is the bundle's).
    std::filesystem::path v3() const {
        const auto root = folder_ / "cache" / "com.quellix.data";
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(root, ec))
            if (std::filesystem::is_directory(entry.path() / "v3")) return entry.path() / "v3";
        return root / "(none)" / "v3";
    }
    std::set<std::string> active() const { return names(v3() / "active"); }
    std::set<std::string> prepared() const { return names(v3() / "prepared"); }
    bool marker() const { return std::filesystem::exists(v3() / "launchmarker"); }
    std::filesystem::path path() const { return folder_.path(); }

  private:
    static std::set<std::string> names(const std::filesystem::path& folder) {
        std::set<std::string> found;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            found.insert(entry.path().filename().string());
        return found;
    }

    KitTempFolder folder_;
};

std::string zcat(const std::filesystem::path& scratch, const std::string& bytes) {
    const auto file = scratch / "part.gz";
    { std::ofstream(file, std::ios::binary) << bytes; }
    FILE* pipe = popen(("zcat '" + file.string() + "'").c_str(), "r");
    if (!pipe) return {};
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

std::map<std::string, nlohmann::json> sections(const std::filesystem::path& scratch,
                                               const std::string& text) {
    const auto file = scratch / "record";
    { std::ofstream(file, std::ios::binary) << text; }
    std::map<std::string, nlohmann::json> found;
    if (auto lines = QXFileReadSections(file, false))
        for (const auto& line : *lines)
            for (const auto& [key, value] : line.items()) found[key] = value;
    return found;
}

// The symbols of the crashed thread in the uploaded report, as its symbolication named them.
std::vector<std::string> crashedThreadSymbols(const net::testing::RecordedRequest& request,
                                              const std::filesystem::path& scratch) {
    std::map<std::string, std::string> parts;
    for (const auto& part : request.parts) parts[part.name] = part.content;
    if (!parts.count("signal.qxrecord") || !parts.count("signal.qxrecord.symbolicated")) return {};
    auto raw = sections(scratch, zcat(scratch, parts["signal.qxrecord"]))["threads"];
    auto named =
        sections(scratch, zcat(scratch, parts["signal.qxrecord.symbolicated"]))["threads"];
    std::vector<std::string> symbols;
    for (size_t t = 0; t < raw.size() && t < named.size(); ++t) {
        if (!raw[t].contains("crashed")) continue;
        for (const auto& frame : named[t])
            if (frame.contains("symbol") && frame["symbol"].is_string())
                symbols.push_back(frame["symbol"]);
    }
    return symbols;
}

bool names(const std::vector<std::string>& symbols, const std::string& function) {
    return std::any_of(symbols.begin(), symbols.end(), [&](const std::string& s) {
        return s.find(function) != std::string::npos;
    });
}

std::string joined(const std::vector<std::string>& symbols) {
    std::string text;
    for (const auto& s : symbols) text += "  " + s + "\n";
    return text;
}

// What the request carried, for a failure's message.
std::string partsOf(const net::testing::RecordedRequest& request,
                    const std::filesystem::path& scratch) {
    std::string text = "parts:\n";
    for (const auto& part : request.parts) {
        text += "  " + part.name + " (" + std::to_string(part.content.size()) + " bytes)\n";
        if (part.name.starts_with("signal.qxrecord") || part.name == "sdk.log")
            text += zcat(scratch, part.content).substr(0, 3000) + "\n";
    }
    return text;
}

struct CrashCase {
    const char* mode;
    int signal;
    const char* thread;    // the crashing thread's name
    const char* function;  // the program's function that crashed
};

void PrintTo(const CrashCase& c, std::ostream* os) { *os << c.mode; }

const CrashCase kCrashCases[] = {
    {"null-write", SIGSEGV, "wv_kit_child", "writeThroughNull"},
    {"ud2", SIGILL, "wv_kit_child", "executeUndefined"},
    {"abort", SIGABRT, "wv_kit_child", "callAbort"},
    {"throw", SIGABRT, "wv_kit_child", "throwUncaught"},
    {"overflow", SIGSEGV, "wv_kit_child", "recurse"},
    {"thread-fault", SIGSEGV, "kit-faulter", "writeThroughNull"},
    {"trap", SIGTRAP, "wv_kit_child", "trap"},
    {"raise", SIGSEGV, "wv_kit_child", "raiseSegv"},
    {"kit-crash", SIGILL, "wv_kit_child", "Quellix::crash"},
};

class KitLaunches : public ::testing::TestWithParam<CrashCase> {
  protected:
    void SetUp() override {
        server_ = TestServer::startHTTP();
        server_->script(kReportsPath, {{202, "{\"status\":\"ok\"}", {}, "application/json"}});
    }
    std::string endpoint() const { return server_->url(""); }

    std::unique_ptr<TestServer> server_;
    Installation app_;
};

// A crash after the first main-queue turn: the delegate is asked at the next start and the
// report goes through the work queue.
TEST_P(KitLaunches, ALaterCrashIsSentOnceThroughTheDelegate) {
    const CrashCase& c = GetParam();
    const Launch crashed = app_.run({c.mode}, endpoint());
    ASSERT_TRUE(WIFSIGNALED(crashed.status)) << crashed.status << "\n" << crashed.output;
    EXPECT_EQ(WTERMSIG(crashed.status), c.signal) << crashed.output;
    EXPECT_GE(crashed.count(std::string("crash callback on thread ") + c.thread + "\n"), 1u)
        << crashed.output;
    EXPECT_FALSE(app_.marker()) << "the main queue had its first turn";
    EXPECT_EQ(app_.active().size(), 1u);
    EXPECT_EQ(server_->requestCount(), 0u);

    const Launch next = app_.run({"none", "--ask"}, endpoint());
    ASSERT_TRUE(next.exitedCleanly()) << next.status << "\n" << next.output;
    EXPECT_EQ(next.count("asked about "), 1u) << next.output;
    const auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 1u) << next.output;
    EXPECT_EQ(requests[0].path, kReportsPath);
    EXPECT_TRUE(requests[0].formComplete);
    const auto symbols = crashedThreadSymbols(requests[0], app_.path());
    EXPECT_TRUE(names(symbols, c.function)) << c.function << " is not among\n" << joined(symbols)
                                            << partsOf(requests[0], app_.path());
    EXPECT_TRUE(app_.prepared().empty());
    const auto afterNext = app_.active();
    EXPECT_EQ(afterNext.size(), 1u) << "only the launch's own folder";

    const Launch third = app_.run({"none", "--ask"}, endpoint());
    ASSERT_TRUE(third.exitedCleanly()) << third.status << "\n" << third.output;
    EXPECT_EQ(third.count("asked about "), 0u) << third.output;
    EXPECT_EQ(server_->requestCount(), 1u);
    // The launch that did not crash left nothing behind once the next one started.
    const auto afterThird = app_.active();
    EXPECT_EQ(afterThird.size(), 1u);
    for (const auto& name : afterNext) EXPECT_FALSE(afterThird.count(name)) << name;
}

INSTANTIATE_TEST_SUITE_P(Crash, KitLaunches, ::testing::ValuesIn(kCrashCases),
                         [](const auto& info) {
                             std::string name = info.param.mode;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

class KitEarlyCrash : public KitLaunches {};

// A crash before the first main-queue turn leaves the launch marker; the next start sends the
// report at once, synchronously, without asking anyone.
TEST_P(KitEarlyCrash, IsSentSynchronouslyByTheNextStart) {
    const CrashCase& c = GetParam();
    const Launch crashed = app_.run({c.mode, "--early"}, endpoint());
    ASSERT_TRUE(WIFSIGNALED(crashed.status)) << crashed.status << "\n" << crashed.output;
    EXPECT_EQ(WTERMSIG(crashed.status), c.signal);
    EXPECT_TRUE(app_.marker()) << "the launch never reached its main queue";

    const Launch next = app_.run({"none"}, endpoint());
    ASSERT_TRUE(next.exitedCleanly()) << next.status << "\n" << next.output;
    // When the start returned, the report was sent and its package gone.
    EXPECT_EQ(next.count("after start: earlier=0 processing=0 prepared=0 marker=1\n"), 1u)
        << next.output;
    const auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 1u) << next.output;
    const auto symbols = crashedThreadSymbols(requests[0], app_.path());
    EXPECT_TRUE(names(symbols, c.function)) << c.function << " is not among\n" << joined(symbols);
    EXPECT_FALSE(app_.marker());

    const Launch third = app_.run({"none"}, endpoint());
    ASSERT_TRUE(third.exitedCleanly()) << third.output;
    EXPECT_EQ(server_->requestCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Crash, KitEarlyCrash,
                         ::testing::Values(kCrashCases[0], kCrashCases[3], kCrashCases[5]),
                         [](const auto& info) {
                             std::string name = info.param.mode;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// With the server down at the next launch the package waits; the launch after sends it, and
// no launch sends it again.
TEST(KitServerDown, TheLaunchAfterSendsTheReportOnce) {
    auto server = TestServer::startHTTP();
    server->script(kReportsPath, {{202, "{\"status\":\"ok\"}", {}, "application/json"}});
    Installation app;
    const Launch crashed = app.run({"null-write"}, server->url(""));
    ASSERT_TRUE(WIFSIGNALED(crashed.status)) << crashed.output;

    const Launch down = app.run({"none", "--ask", "--keep-prepared"}, kDeadEndpoint);
    ASSERT_TRUE(down.exitedCleanly()) << down.status << "\n" << down.output;
    EXPECT_EQ(app.prepared().size(), 1u) << "the package waits for a later launch";

    for (int launch = 0; launch < 2; ++launch) {
        const Launch up = app.run({"none", "--ask"}, server->url(""));
        ASSERT_TRUE(up.exitedCleanly()) << up.status << "\n" << up.output;
        EXPECT_EQ(up.count("asked about "), 0u) << "the report was offered already";
        EXPECT_TRUE(app.prepared().empty());
    }
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto symbols = crashedThreadSymbols(requests[0], app.path());
    EXPECT_TRUE(names(symbols, "writeThroughNull")) << joined(symbols);
}

}  // namespace
}  // namespace wv
