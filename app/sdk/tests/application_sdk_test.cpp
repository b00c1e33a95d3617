// The application on the reporting SDK, end to end: the real program's start, typing and quit
// in processes of their own, against a loopback server that serves the SDK's settings and takes
// its event bodies and crash reports.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <future>
#include <map>
#include <regex>
#include <set>

#include "app/sdk/tests/DriverRun.h"
#include "platform/foundation/Folders.h"
#include "platform/plist/Value.h"
#include "sdk/core/Tarnel.h"

namespace wv {
namespace {

using net::testing::ScriptedReply;
using net::testing::TestServer;
using test::EventBody;
using test::RunResult;

const std::string kBundleIdentifier = "com.wovanu.typing";
const std::string kSettingsPath =
    "/spi/v2/platforms/mac/apps/" + kBundleIdentifier + "/settings";
const std::string kReportsPath =
    "/sdk-api/v1/platforms/mac/apps/" + kBundleIdentifier + "/reports";
const std::string kEventsPath = "/events";

// One installation of the program (its own data and cache folders, kept across its runs) and
// the reporting service it talks to.
class Installation {
  public:
    Installation() {
        char pattern[] = "/tmp/wovanu-app-sdk-XXXXXX";
        folder_ = mkdtemp(pattern);
        std::filesystem::create_directories(folder_ / "data");
        std::filesystem::create_directories(folder_ / "cache");
        server_ = TestServer::startHTTP();
        const std::string settings =
            R"({"app":{"status":"activated","update_required":false},)"
            R"("features":{"collect_analytics":true,"collect_reports":true},)"
            R"("analytics":{"url":")" +
            server_->url(kEventsPath) + R"("}})";
        server_->script(kSettingsPath, {{200, settings, {}, "application/json"}});
        server_->script(kEventsPath, {{202, "{}", {}, "application/json"}});
        server_->script(kReportsPath, {{202, R"({"status":"ok"})", {}, "application/json"}});
    }
    ~Installation() {
        server_.reset();
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

    // The environment of a run: fresh folders of this installation, and the endpoints at the
    // loopback server unless `withEndpoints` is false (then none is set at all).
    std::vector<std::string> environment(bool withEndpoints = true) const {
        std::map<std::string, std::string> set{
            {"QT_QPA_PLATFORM", "offscreen"},
            {"XDG_DATA_HOME", (folder_ / "data").string()},
            {"XDG_CACHE_HOME", (folder_ / "cache").string()},
            {"HOME", folder_.string()},
            {"WOVANU_BUNDLE_DIR", WV_BUNDLE_DIR}};
        const std::vector<std::string> endpoints{"SettingsEndpoint", "ConfigureEndpoint",
                                                 "QuellixReportsEndpoint",
                                                 "QuellixBetaEndpoint"};
        if (withEndpoints) {
            set["SettingsEndpoint"] = server_->url("");
            set["ConfigureEndpoint"] = server_->url("");
            set["QuellixReportsEndpoint"] = server_->url("");
        }
        return test::environmentWith(set, withEndpoints ? std::vector<std::string>{} : endpoints);
    }

    RunResult run(const std::vector<std::string>& steps) {
        std::vector<std::string> argv{WV_APP_SDK_DRIVER};
        argv.insert(argv.end(), steps.begin(), steps.end());
        return test::runProcess(argv, environment(), folder_ / ("run" + std::to_string(++runs_)));
    }

    // A run that stays up until release() is called (or two minutes pass), then quits.
    std::future<RunResult> runUntilReleased() {
        const auto file = folder_ / ("release" + std::to_string(runs_ + 1));
        releaseFile_ = file;
        return std::async(std::launch::async, [this, file] {
            return run({"wait-file:" + file.string(), "quit"});
        });
    }
    void release() const { std::ofstream(releaseFile_) << "go"; }

    TestServer& server() { return *server_; }
    const std::filesystem::path& folder() const { return folder_; }

  private:
    std::filesystem::path folder_;
    std::unique_ptr<TestServer> server_;
    int runs_ = 0;
    std::filesystem::path releaseFile_;
};

// The events of one run's bodies, counted by what they stand for.
std::map<std::string, int> kindsOf(const std::vector<EventBody>& bodies,
                                   const std::string& session) {
    std::map<std::string, int> kinds;
    for (const auto& body : bodies) {
        if (body.sessionId() != session) continue;
        for (size_t i = 1; i < body.lines.size(); ++i) {
            std::string kind = body.lines[i].kind();
            if (kind.rfind("SessonStarted - ", 0) == 0) kind = "SessonStarted - ";
            ++kinds[kind];
        }
    }
    return kinds;
}

// Every body opens with its run's metadata and holds whole lines; no event comes twice.
void expectWellFormed(const std::vector<EventBody>& bodies) {
    std::multiset<std::string> ids;
    for (const auto& body : bodies) {
        ASSERT_NE(body.metadata(), nullptr);
        EXPECT_FALSE(body.sessionId().empty());
        for (size_t i = 0; i < body.lines.size(); ++i) {
            EXPECT_TRUE(body.lines[i].whole);
            EXPECT_EQ(body.lines[i].name == "metadata", i == 0);
            if (i > 0) ids.insert(body.lines[i].payload.value("eventId", nlohmann::json()).dump());
        }
    }
    for (const auto& id : ids) EXPECT_EQ(ids.count(id), 1u) << "event " << id << " came twice";
}

// What the server got, for a failure's message.
std::string received(const TestServer& server) {
    std::string out;
    for (const auto& request : server.requests()) out += request.method + " " + request.path + "\n";
    for (const auto& body : test::eventBodies(server, kEventsPath)) {
        out += "body of " + body.sessionId() + ":";
        for (size_t i = 1; i < body.lines.size(); ++i) out += " " + body.lines[i].kind();
        out += "\n";
    }
    return out;
}

const EventBody* bodyHolding(const std::vector<EventBody>& bodies, const std::string& session,
                             const std::string& kind) {
    for (const auto& body : bodies) {
        if (body.sessionId() != session) continue;
        for (size_t i = 1; i < body.lines.size(); ++i)
            if (body.lines[i].kind() == kind) return &body;
    }
    return nullptr;
}

const std::map<std::string, int> kTypedRunEvents = {
    {"app_installed", 1}, {"app_launched", 1},    {"firstLaunch", 1},
    {"level_start", 2},   {"SessonStarted - ", 2}, {"level_end", 1}};

// Whether `kinds` holds at least every event of `wanted` as often.
bool holds(const std::map<std::string, int>& kinds, const std::map<std::string, int>& wanted) {
    for (const auto& [kind, count] : wanted) {
        const auto found = kinds.find(kind);
        if (found == kinds.end() || found->second < count) return false;
    }
    return true;
}

TEST(ApplicationOnTheSdk, ALineTypedAndQuitReachesTheServiceOnceEachAtTheNextLaunch) {
    Installation installation;
    const RunResult first = installation.run({"type-line", "return", "quit"});
    ASSERT_TRUE(first.exited && first.exitCode == 0) << first.describe();
    ASSERT_FALSE(first.sessionId.empty()) << first.describe();

    auto second = installation.runUntilReleased();
    std::map<std::string, int> wanted = kTypedRunEvents;
    wanted["app_terminated"] = 1;
    const bool arrived = test::waitForServer(
        [&] {
            return holds(kindsOf(test::eventBodies(installation.server(), kEventsPath),
                                 first.sessionId),
                         wanted);
        },
        60);
    installation.release();
    const RunResult secondResult = second.get();
    ASSERT_TRUE(secondResult.exited && secondResult.exitCode == 0) << secondResult.describe();
    const auto bodies = test::eventBodies(installation.server(), kEventsPath);
    ASSERT_TRUE(arrived) << "the first run's (" << first.sessionId
                         << ") events did not all arrive; received:\n"
                         << received(installation.server()) << "second run:\n"
                         << secondResult.describe();
    EXPECT_NE(secondResult.sessionId, first.sessionId);

    expectWellFormed(bodies);
    const auto kinds = kindsOf(bodies, first.sessionId);
    for (const auto& [kind, count] : wanted) EXPECT_EQ(kinds.at(kind), count) << kind;

    // The installation's first event travels alone, at once.
    const EventBody* installed = bodyHolding(bodies, first.sessionId, "app_installed");
    ASSERT_NE(installed, nullptr);
    EXPECT_EQ(installed->lines.size(), 2u);

    // The line had no typo: its end reports success, and the level name is its lesson's.
    const EventBody* ended = bodyHolding(bodies, first.sessionId, "level_end");
    ASSERT_NE(ended, nullptr);
    for (const auto& line : ended->lines) {
        if (line.kind() != "level_end") continue;
        const auto& attributes = line.payload["predefined_attributes"];
        EXPECT_EQ(attributes.value("success", ""), "true") << line.payload.dump();
        EXPECT_TRUE(std::regex_match(attributes.value("level_name", ""),
                                     std::regex("lesson_[1-7]")))
            << line.payload.dump();
    }
}

TEST(ApplicationOnTheSdk, TestCrashDiesOfAnIllegalInstructionAndTheNextLaunchReportsIt) {
    Installation installation;
    const RunResult crashed = installation.run({"type-line", "return", "settle", "crash"});
    ASSERT_EQ(crashed.signal, SIGILL) << crashed.describe();
    ASSERT_FALSE(crashed.sessionId.empty()) << crashed.describe();

    auto next = installation.runUntilReleased();
    std::map<std::string, int> wanted = kTypedRunEvents;
    wanted["app_crashed"] = 1;
    const bool arrived = test::waitForServer(
        [&] {
            return installation.server().requestCount() > 0 &&
                   !test::eventBodies(installation.server(), kEventsPath).empty() &&
                   holds(kindsOf(test::eventBodies(installation.server(), kEventsPath),
                                 crashed.sessionId),
                         wanted) &&
                   [&] {
                       for (const auto& r : installation.server().requests())
                           if (r.path == kReportsPath) return true;
                       return false;
                   }();
        },
        60);
    installation.release();
    const RunResult nextResult = next.get();
    ASSERT_TRUE(nextResult.exited && nextResult.exitCode == 0) << nextResult.describe();
    ASSERT_TRUE(arrived) << "the crashed run's (" << crashed.sessionId
                         << ") report and events did not all arrive; received:\n"
                         << received(installation.server()) << "next run:\n"
                         << nextResult.describe();

    size_t reports = 0;
    bool namesTheSignal = false;
    for (const auto& r : installation.server().requests()) {
        if (r.path != kReportsPath) continue;
        ++reports;
        for (const auto& part : r.parts)
            namesTheSignal = namesTheSignal ||
                             test::gunzipped(part.content).find("SIGILL") != std::string::npos;
    }
    EXPECT_EQ(reports, 1u);
    EXPECT_TRUE(namesTheSignal);

    const auto bodies = test::eventBodies(installation.server(), kEventsPath);
    expectWellFormed(bodies);
    const auto kinds = kindsOf(bodies, crashed.sessionId);
    for (const auto& [kind, count] : wanted) EXPECT_EQ(kinds.at(kind), count) << kind;
    // The crash travels alone, under the crashed run's metadata, though the next run sends it.
    const EventBody* crash = bodyHolding(bodies, crashed.sessionId, "app_crashed");
    ASSERT_NE(crash, nullptr);
    EXPECT_EQ(crash->lines.size(), 2u);
    // The crashed run never quit.
    EXPECT_EQ(kinds.count("app_terminated"), 0u);
}

// The bundle the program runs with names the SDK's key and kits.
TEST(ApplicationOnTheSdk, TheBundleConfiguresTheSdkWithAKeyAndTheCrashKit) {
    const auto info = plist::readFile(std::filesystem::path(WV_BUNDLE_DIR) / "Info.plist");
    ASSERT_TRUE(info && info->is<plist::Dictionary>());
    const plist::Dictionary tarnel =
        Tarnel::validTarnelConfigFromInfoPlist(*info->get<plist::Dictionary>());
    const plist::Value* key = tarnel.find("APIKey");
    ASSERT_TRUE(key && key->is<std::string>());
    EXPECT_TRUE(std::regex_match(*key->get<std::string>(), std::regex("[0-9a-f]{40}")));
    const plist::Value* kits = tarnel.find("Kits");
    ASSERT_TRUE(kits && kits->is<plist::Array>());
    ASSERT_EQ(kits->get<plist::Array>()->size(), 1u);
    const auto* kit = (*kits->get<plist::Array>())[0].get<plist::Dictionary>();
    ASSERT_NE(kit, nullptr);
    ASSERT_TRUE(kit->find("KitName"));
    EXPECT_EQ(*kit->find("KitName")->get<std::string>(), "Quellix");
}

}  // namespace
}  // namespace wv
