#include "sdk/core/TRNSettingsOnboardingManager.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <future>
#include <regex>

#include "TarnelFixtures.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/TrustAnchors.h"
#include "platform/net/testing/TestServer.h"
#include "sdk/core/QXUserDefaults.h"
#include "sdk/core/TRNApplicationIdentiferModel.h"
#include "sdk/core/TRNCertificatePinner.h"
#include "sdk/core/TRNNetworkClient.h"
#include "sdk/core/Tarnel.h"

namespace wv {
namespace {

using net::testing::RecordedPart;
using net::testing::RecordedRequest;
using net::testing::ScriptedReply;
using net::testing::TestPKI;
using net::testing::TestServer;
using testing::dict;
using testing::FakeKits;
using testing::FixtureBundle;

// An identifier with a "/": nested folders on disk, "_" on the wire.
const std::string kBundleID = "org.wovanu/typing";
const std::string kWireID = "org.wovanu_typing";
const std::string kSettingsPath = "/spi/v2/platforms/mac/apps/" + kWireID + "/settings";
const std::string kCreatePath = "/spi/v1/platforms/mac/apps";
const std::string kUpdatePath = "/spi/v1/platforms/mac/apps/" + kWireID;

const std::string kNewApp = R"({"app":{"status":"new"},"features":{"collect_reports":true}})";
const std::string kActivated =
    R"({"app":{"status":"activated","update_required":false},"analytics":{"sampling_rate":3}})";
const std::string kUpdate = R"({"app":{"status":"activated","update_required":true}})";
const std::string kPrevious = R"({"app":{"status":"activated"},"session":{"log_buffer_size":7}})";

ScriptedReply json(const std::string& body) { return {200, body, {}, "application/json"}; }

std::filesystem::path sdkCache() { return Folders::cacheHome() / "io.tarnel.sdk.mac.data"; }
std::filesystem::path settingsFile() {
    return sdkCache() / "org.wovanu" / "typing" / "settings.json";
}

std::string readText(const std::filesystem::path& path) {
    const auto bytes = testing::readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// The icon, made once by ImageMagick.
const std::filesystem::path& iconFile() {
    static const std::filesystem::path path = [] {
        auto p = Folders::dataHome() / "icon-source" / "AppIcon.png";
        std::filesystem::create_directories(p.parent_path());
        testing::commandOutput("convert -size 64x48 xc:#3366cc " +
                               testing::shellQuoted(p.string()));
        return p;
    }();
    return path;
}

// Counts the notification and notes how many requests the server had seen at that moment.
class NotificationWatch {
  public:
    explicit NotificationWatch(const TestServer* server) : server_(server) {
        token_ = NotificationCenter::defaultCenter().addObserver(
            Tarnel::kSettingsAvailableNotification, nullptr, [this](const Notification& n) {
                std::lock_guard lock(mutex_);
                seenAt_.push_back(server_ ? server_->requestCount() : 0);
                withSender_ = withSender_ || n.sender != nullptr || !n.userInfo.empty();
                fileAtPost_ = std::filesystem::exists(settingsFile()) ? readText(settingsFile())
                                                                      : std::string();
            });
    }
    ~NotificationWatch() { NotificationCenter::defaultCenter().removeObserver(token_); }
    std::vector<size_t> seenAt() const {
        std::lock_guard lock(mutex_);
        return seenAt_;
    }
    bool withSender() const { return withSender_; }
    std::string fileAtPost() const {
        std::lock_guard lock(mutex_);
        return fileAtPost_;
    }

  private:
    const TestServer* server_;
    NotificationCenter::ObserverToken token_;
    mutable std::mutex mutex_;
    std::vector<size_t> seenAt_;
    bool withSender_ = false;
    std::string fileAtPost_;
};

struct Endpoints {
    std::optional<std::string> settings;
    std::optional<std::string> configure;
};

class SettingsFlowTest : public ::testing::Test {
  protected:
    SettingsFlowTest() : base_(Folders::dataHome() / "flow-store") {
        std::filesystem::remove_all(sdkCache());
        std::filesystem::remove_all(base_);
        TRNNetworkClient::setUniformSourceForTesting([] { return 0.5; });
    }
    ~SettingsFlowTest() override {
        sdk_.reset();
        bundle_.reset();
        store_.reset();
        server_.reset();
        TRNNetworkClient::setUniformSourceForTesting(nullptr);
        TRNSetPinnedCertificatesForTesting(std::nullopt);
        net::TrustAnchors::setSystemAnchorsForTesting(std::nullopt);
        TRNSettingsOnboardingManager::setDefaultConfigurationForTesting(std::nullopt);
        std::filesystem::remove_all(sdkCache());
    }

    void startServer(bool https) {
        if (https) {
            net::TrustAnchors::setSystemAnchorsForTesting(std::vector{TestPKI::shared().rootB()});
            TRNSetPinnedCertificatesForTesting(std::vector{TestPKI::shared().rootA()});
            server_ = TestServer::startHTTPS(TestPKI::shared().leafA());
        } else {
            server_ = TestServer::startHTTP();
        }
    }

    plist::Dictionary info(const Endpoints& endpoints, plist::Dictionary tarnel = {}) {
        plist::Dictionary quellix;
        if (endpoints.settings) quellix.set("SettingsEndpoint", *endpoints.settings);
        if (endpoints.configure) quellix.set("ConfigureEndpoint", *endpoints.configure);
        tarnel.set("APIKey", "API-KEY-7");
        tarnel.set("Kits", plist::Array{});
        return dict({{"CFBundleIdentifier", kBundleID},
                     {"CFBundleName", "Wovanu Typing"},
                     {"CFBundleVersion", "42"},
                     {"CFBundleShortVersionString", "3.1"},
                     {"CFBundleIconFile", "AppIcon"},
                     {"Tarnel", tarnel},
                     {"Quellix", quellix}});
    }

    // The application's bundle and the SDK object, ready to start; the server's address is
    // both endpoints unless told otherwise.
    void prepare(std::optional<Endpoints> endpoints = std::nullopt, plist::Dictionary tarnel = {}) {
        if (!endpoints) endpoints = Endpoints{server_->url(""), server_->url("")};
        bundle_.reset();  // main-bundle scopes nest: the old one goes first
        bundle_ = std::make_unique<FixtureBundle>("flow", info(*endpoints, std::move(tarnel)));
        std::filesystem::copy_file(iconFile(), bundle_->root() / "AppIcon.png");
        store_ = std::make_unique<QXUserDefaults>(base_, kBundleID, nullptr);
        sdk_ = std::make_unique<Tarnel>(*store_, std::filesystem::path());
        sdk_->setDebug(true);
        manager()->networkClient()->setRetrySchedulerForTesting(
            [](double, std::function<void()> block) { block(); });
    }

    TRNSettingsOnboardingManager* manager() { return sdk_->settingsAndOnboardingManager().get(); }

    // `with:` over a fake crash kit, then waits for the conversation to end.
    void run() {
        sdk_->start({&kits_.kit("Quellix", "io.quellix.fake")});
        ASSERT_TRUE(manager()->waitForNetworkingSessionToFinish(20));
    }

    std::vector<std::string> flowLines() const {
        std::vector<std::string> out;
        for (const auto& line : log_.lines())
            if (line.rfind("[Tarnel] Initialized with kit versions", 0) != 0) out.push_back(line);
        return out;
    }

    std::vector<std::string> methodsAndPaths() const {
        std::vector<std::string> out;
        for (const auto& r : server_->requests()) out.push_back(r.method + " " + r.path);
        return out;
    }

    // After the conversation the client takes no request.
    void expectClientSpent() {
        std::promise<std::optional<net::Error>> done;
        const size_t before = server_ ? server_->requestCount() : 0;
        manager()->networkClient()->startDataTaskWithRequest(
            net::URLRequest(server_ ? server_->url("/x") : "http://127.0.0.1:9/x"), 0,
            [&](const auto&, const auto&, const auto& error) { done.set_value(error); });
        auto error = done.get_future().get();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain, "TRNNetworkError");
        EXPECT_EQ(error->code, -3);
        if (server_) EXPECT_EQ(server_->requestCount(), before);
    }

    std::filesystem::path base_;
    std::unique_ptr<TestServer> server_;
    std::unique_ptr<FixtureBundle> bundle_;
    std::unique_ptr<QXUserDefaults> store_;
    std::unique_ptr<Tarnel> sdk_;
    FakeKits kits_;
    LogCapture log_;
};

std::string readelfBuildID() {
    // Resolved here: in the tool, /proc/self/exe would be the tool itself.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string notes = testing::commandOutput("readelf -n " + testing::shellQuoted(self));
    std::smatch match;
    if (!std::regex_search(notes, match, std::regex("Build ID: ([0-9a-f]+)"))) return {};
    return match[1];
}

std::string hostArch() {
#if defined(__x86_64__)
    return "x86_64";
#elif defined(__aarch64__)
    return "arm64";
#else
    return "unknown";
#endif
}

TEST_F(SettingsFlowTest, ANewApplicationIsCreatedThenTheSettingsAreDownloadedAgain) {
    startServer(true);
    server_->script(kSettingsPath, {json(kNewApp), json(kActivated)});
    server_->script(kCreatePath, {{201, "{}", {}, "application/json"}});
    prepare();
    NotificationWatch watch(server_.get());
    run();

    EXPECT_EQ(methodsAndPaths(),
              (std::vector<std::string>{"GET " + kSettingsPath, "POST " + kCreatePath,
                                        "GET " + kSettingsPath}));
    EXPECT_EQ(watch.seenAt(), std::vector<size_t>{3});  // once, after the second download
    EXPECT_FALSE(watch.withSender());
    EXPECT_EQ(watch.fileAtPost(), kActivated);
    EXPECT_EQ(readText(settingsFile()), kActivated);
    ASSERT_TRUE(sdk_->settings());
    EXPECT_EQ((*sdk_->settings())["analytics"]["sampling_rate"], 3);
    EXPECT_EQ(flowLines(), (std::vector<std::string>{
                               "[Tarnel] settings downloaded successfully",
                               "[Tarnel] Starting onboarding with app create",
                               "[Tarnel] completed configure",
                               "[Tarnel] settings downloaded successfully",
                               "[Tarnel] App already onboarded in this run of the app",
                               "[Tarnel] Settings are available for consumption",
                           }));

    const auto requests = server_->requests();
    ASSERT_EQ(requests.size(), 3u);
    const RecordedRequest& get = requests[0];
    const auto& model = *sdk_->applicationIdentifierModel();
    EXPECT_EQ(get.query,
              (std::multimap<std::string, std::string>{{"build_version", "42"},
                                                       {"display_version", "3.1"},
                                                       {"instance", model.instanceIdentifier()},
                                                       {"source", "1"}}));
    EXPECT_EQ(get.target, kSettingsPath + "?build_version=42&display_version=3.1&instance=" +
                              model.instanceIdentifier() + "&source=1");
    EXPECT_EQ(get.headers.value("Accept"), "application/json");
    EXPECT_EQ(get.headers.value("X-Quellix-Installation-ID"), sdk_->installID());
    EXPECT_EQ(get.headers.value("X-Quellix-API-Key"), "API-KEY-7");
    EXPECT_EQ(get.headers.value("X-Quellix-API-Client-Version"), "1.7.5");
    EXPECT_TRUE(get.headers.value("X-Quellix-OS-Display-Version"));
    EXPECT_FALSE(get.headers.value("X-Quellix-Advertising-Token"));

    const RecordedRequest& post = requests[1];
    EXPECT_TRUE(post.formComplete);  // Content-Length bytes, ending with the closing boundary
    EXPECT_EQ(post.headers.value("Content-Type")->rfind("multipart/form-data; boundary=", 0), 0u);
    EXPECT_EQ(post.headers.value("X-Quellix-API-Key"), "API-KEY-7");
    const std::string buildID = readelfBuildID();
    ASSERT_EQ(buildID.size(), 40u);
    std::vector<std::pair<std::string, std::string>> fields;
    for (const RecordedPart& part : post.parts)
        if (part.name != "app[icon][data]") fields.push_back({part.name, part.content});
    ASSERT_FALSE(post.parts.empty());
    const RecordedPart& icon = post.parts.back();
    ASSERT_EQ(icon.name, "app[icon][data]");
    EXPECT_EQ(icon.filename, "icon.png");
    EXPECT_EQ(icon.contentType, "image/png");
    EXPECT_EQ(icon.content, readText(iconFile()));
    const std::string received = Folders::dataHome() / "received.png";
    testing::writeText(received, icon.content);
    const std::string size =
        testing::commandOutput("identify -format '%w %h' " + testing::shellQuoted(received));
    EXPECT_EQ(size, "64 48");
    EXPECT_EQ(fields, (std::vector<std::pair<std::string, std::string>>{
                          {"app[identifier]", kWireID},
                          {"app[instance_identifier]", testing::toolDigest("sha1sum", buildID)},
                          {"app[name]", "Wovanu Typing"},
                          {"app[build_version]", "42"},
                          {"app[display_version]", "3.1"},
                          {"app[source]", "1"},
                          {"app[minimum_sdk_version]", model.minimumSDKString()},
                          {"app[built_sdk_version]", "0.0.0"},
                          {"app[build][libraries][io.quellix.fake]", "2.0"},
                          {"app[build][libraries][io.tarnel.sdk.mac]", "1.7.5"},
                          {"app[slices][][arch]", hostArch()},
                          {"app[slices][][uuid]", buildID},
                          {"app[icon][hash]", testing::toolDigest("sha1sum", icon.content)},
                          {"app[icon][prerendered]", "true"},
                          {"app[icon][width]", "64"},
                          {"app[icon][height]", "48"},
                      }));
    expectClientSpent();
}

TEST_F(SettingsFlowTest, AnUpdateIsSentAfterTheNotification) {
    startServer(true);
    server_->script(kSettingsPath, {json(kUpdate)});
    server_->script(kUpdatePath, {{200, "{}", {}, "application/json"}});
    prepare();
    NotificationWatch watch(server_.get());
    run();
    EXPECT_EQ(methodsAndPaths(),
              (std::vector<std::string>{"GET " + kSettingsPath, "PUT " + kUpdatePath}));
    EXPECT_EQ(watch.seenAt(), std::vector<size_t>{1});  // before the PUT reached the server
    EXPECT_EQ(flowLines(), (std::vector<std::string>{
                               "[Tarnel] settings downloaded successfully",
                               "[Tarnel] Settings are available for consumption",
                               "[Tarnel] Starting onboarding with app update",
                               "[Tarnel] completed application update",
                           }));
    EXPECT_EQ(readText(settingsFile()), kUpdate);
    expectClientSpent();
}

TEST_F(SettingsFlowTest, NeitherNewNorUpdateIsOneDownloadAndOneNotificationOverHTTP) {
    startServer(false);
    server_->script(kSettingsPath, {json(kActivated)});
    prepare();
    NotificationWatch watch(server_.get());
    run();
    EXPECT_EQ(methodsAndPaths(), std::vector<std::string>{"GET " + kSettingsPath});
    EXPECT_EQ(watch.seenAt(), std::vector<size_t>{1});
    EXPECT_EQ(flowLines(), (std::vector<std::string>{
                               "[Tarnel] settings downloaded successfully",
                               "[Tarnel] Settings are available for consumption",
                           }));
    EXPECT_FALSE(manager()->hasAttemptedAppConfigure());
    expectClientSpent();
}

TEST_F(SettingsFlowTest, WithoutDebugOnlyFailuresAreLogged) {
    startServer(true);
    server_->script(kSettingsPath, {json(kNewApp), json(kActivated)});
    server_->script(kCreatePath, {{201, "{}", {}, "application/json"}});
    prepare();
    sdk_->setDebug(false);
    NotificationWatch watch(server_.get());
    run();
    EXPECT_EQ(watch.seenAt(), std::vector<size_t>{3});
    EXPECT_TRUE(log_.lines().empty());
}

struct FailureCase {
    const char* name;
    std::vector<ScriptedReply> settings;
    std::vector<ScriptedReply> registration;  // on the creation path
    std::vector<std::string> requests;
    std::vector<std::string> lines;  // exact, or a prefix when it ends in "..."
    std::string file;                // settings.json afterwards
};

ScriptedReply cutOff() {
    ScriptedReply r(200, std::string(400, ' ') + "{}", {}, "application/json");
    r.dropAfter = 10;
    return r;
}

TEST_F(SettingsFlowTest, FailuresPostNothingAndKeepThePreviousSettings) {
    const std::string get = "GET " + kSettingsPath;
    const std::string post = "POST " + kCreatePath;
    const std::string limit6 =
        "[Tarnel] failed to download settings Error Domain=TRNNetworkError Code=-6 "
        "\"TRNNetworkError error -6\"";
    const std::string reply4 =
        "[Tarnel] failed to download settings Error Domain=TRNNetworkError Code=-4 "
        "\"TRNNetworkError error -4\"";
    const std::vector<FailureCase> cases = {
        {"retryable status past the limit", {{503}}, {}, {get, get}, {limit6}, kPrevious},
        {"wrong content type",
         {{200, kActivated, {}, "text/plain"}},
         {},
         {get},
         {reply4},
         kPrevious},
        {"reply is no JSON object", {json("[1,2,3]")}, {}, {get}, {reply4}, kPrevious},
        {"reply is no JSON", {json("{\"app\":")}, {}, {get}, {reply4}, kPrevious},
        {"connection cut mid-reply", {cutOff()}, {}, {get, get}, {limit6}, kPrevious},
        {"rejected creation",
         {json(kNewApp)},
         {{400, "{}", {}, "application/json"}},
         {get, post},
         {"[Tarnel] settings downloaded successfully",
          "[Tarnel] Starting onboarding with app create",
          "[Tarnel] unable to complete application configure: Error Domain=TRNNetworkError "
          "Code=-5 \"TRNNetworkError error -5\""},
         kNewApp},
        {"creation retried past its limit",
         {json(kNewApp)},
         {{503}},
         {get, post, post, post, post, post, post, post, post, post, post, post},
         {"[Tarnel] settings downloaded successfully",
          "[Tarnel] Starting onboarding with app create",
          "[Tarnel] unable to complete application configure: Error Domain=TRNNetworkError "
          "Code=-6 \"TRNNetworkError error -6\""},
         kNewApp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sdk_.reset();
        log_.clear();
        startServer(true);
        server_->script(kSettingsPath, c.settings);
        if (!c.registration.empty()) server_->script(kCreatePath, c.registration);
        testing::writeText(settingsFile(), kPrevious);
        prepare();
        NotificationWatch watch(server_.get());
        run();
        EXPECT_EQ(methodsAndPaths(), c.requests);
        EXPECT_TRUE(watch.seenAt().empty());
        EXPECT_EQ(flowLines(), c.lines);
        EXPECT_EQ(readText(settingsFile()), c.file);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(settingsFile().parent_path()),
                                std::filesystem::directory_iterator()),
                  1);  // no staged download left behind
        expectClientSpent();
    }
}

TEST_F(SettingsFlowTest, AFailedUpdateIsLoggedAfterTheNotification) {
    startServer(true);
    server_->script(kSettingsPath, {json(kUpdate)});
    server_->script(kUpdatePath, {{500}});
    prepare();
    NotificationWatch watch(server_.get());
    run();
    // One retry at most: two attempts.
    EXPECT_EQ(methodsAndPaths(),
              (std::vector<std::string>{"GET " + kSettingsPath, "PUT " + kUpdatePath,
                                        "PUT " + kUpdatePath}));
    EXPECT_EQ(watch.seenAt(), std::vector<size_t>{1});
    EXPECT_EQ(flowLines().back(),
              "[Tarnel] unable to complete application update: Error Domain=TRNNetworkError "
              "Code=-6 \"TRNNetworkError error -6\"");
}

TEST_F(SettingsFlowTest, NoSettingsEndpointMeansNoNetworkingAtAll) {
    startServer(true);
    server_->script(kSettingsPath, {json(kNewApp)});
    server_->script(kCreatePath, {{201, "{}", {}, "application/json"}});
    testing::writeText(settingsFile(), kNewApp);
    prepare(Endpoints{"", server_->url("")});
    NotificationWatch watch(server_.get());
    run();
    EXPECT_FALSE(server_->waitForRequests(1, 0.3));
    EXPECT_TRUE(watch.seenAt().empty());
    EXPECT_EQ(flowLines(), std::vector<std::string>{
                               "[Tarnel] No settings endpoint is configured: nothing is downloaded "
                               "or sent"});
    EXPECT_EQ(readText(settingsFile()), kNewApp);  // the kits keep what they have
    ASSERT_TRUE(sdk_->settings());
    EXPECT_EQ((*sdk_->settings())["app"]["status"], "new");
}

TEST_F(SettingsFlowTest, NoConfigureEndpointEndsTheCreationAtOnce) {
    startServer(true);
    server_->script(kSettingsPath, {json(kNewApp)});
    prepare(Endpoints{server_->url(""), std::nullopt});
    NotificationWatch watch(server_.get());
    run();
    EXPECT_EQ(methodsAndPaths(), std::vector<std::string>{"GET " + kSettingsPath});
    EXPECT_TRUE(watch.seenAt().empty());
    EXPECT_EQ(flowLines().back(),
              "[Tarnel] unable to complete application configure: Error Domain=TRNNetworkError "
              "Code=-3 \"TRNNetworkError error -3\"");
}

TEST_F(SettingsFlowTest, ADownloadReplacesEverythingElseInTheSettingsFolder) {
    startServer(false);
    server_->script(kSettingsPath, {json(kActivated)});
    const auto folder = settingsFile().parent_path();
    testing::writeText(folder / "stray.txt", "left over");
    testing::writeText(folder / "old" / "nested.json", "{}");
    testing::writeText(sdkCache() / "other.app" / "settings.json", kPrevious);
    prepare();
    run();
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"settings.json"});
    EXPECT_EQ(readText(sdkCache() / "other.app" / "settings.json"), kPrevious);  // not ours
}

struct TokenCase {
    const char* name;
    std::optional<std::string> token;
    std::optional<bool> reportIdentifiers;
    std::optional<std::string> header;
    bool suppressedLine;
};

TEST_F(SettingsFlowTest, TheAdvertisingTokenHeader) {
    const std::vector<TokenCase> cases = {
        {"a token", "AD-1", std::nullopt, "AD-1", false},
        {"an empty token", "", std::nullopt, std::nullopt, false},
        {"no token", std::nullopt, std::nullopt, std::nullopt, false},
        {"identifiers suppressed", "AD-1", false, std::nullopt, true},
        {"identifiers allowed", "AD-1", true, "AD-1", false},
    };
    const std::string suppressed = "[Tarnel] Suppressing device identifier reporting";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sdk_.reset();
        log_.clear();
        startServer(false);
        server_->script(kSettingsPath, {json(kActivated)});
        plist::Dictionary tarnel;
        if (c.reportIdentifiers) tarnel.set("ReportIdentifiers", *c.reportIdentifiers);
        prepare(std::nullopt, tarnel);
        sdk_->setAdvertisingToken(c.token);
        run();
        const auto requests = server_->requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].headers.value("X-Quellix-Advertising-Token"), c.header);
        EXPECT_EQ(log_.count(suppressed), c.suppressedLine ? 1u : 0u);
    }
}

TEST_F(SettingsFlowTest, AnIdentifierThatCannotNameAFolderIsRefused) {
    const std::vector<std::string> identifiers = {"",     "a//b",   "./a", "a/../../..",
                                                  "/abs", "trail/", "..",  "a/."};
    startServer(false);
    server_->script(kSettingsPath, {json(kActivated)});
    const auto sentinel = Folders::cacheHome() / "sentinel.txt";
    testing::writeText(sentinel, "keep");
    for (const auto& identifier : identifiers) {
        SCOPED_TRACE(identifier);
        sdk_.reset();
        log_.clear();
        plist::Dictionary infoDict = info({server_->url(""), server_->url("")});
        infoDict.set("CFBundleIdentifier", identifier);
        FixtureBundle bundle("refused", infoDict);
        EXPECT_EQ(TRNSettingsOnboardingManager::settingsDirectoryPath(), std::nullopt);
        store_ = std::make_unique<QXUserDefaults>(base_, "refused", nullptr);
        sdk_ = std::make_unique<Tarnel>(*store_, std::filesystem::path());
        run();
        EXPECT_EQ(sdk_->settings(), nullptr);
        EXPECT_EQ(log_.count("[Tarnel] The bundle identifier \"" + identifier +
                             "\" cannot name a settings folder: no settings are read or "
                             "downloaded"),
                  1u);
        sdk_.reset();
    }
    EXPECT_EQ(server_->requestCount(), 0u);
    EXPECT_EQ(readText(sentinel), "keep");
}

struct LookupCase {
    const char* name;
    std::optional<std::string> environment;
    std::optional<plist::Value> infoPlist;
    std::optional<std::string> builtIn;
    std::optional<std::string> value;
};

TEST_F(SettingsFlowTest, EndpointLookupOrder) {
    const std::vector<LookupCase> cases = {
        {"environment first", "http://env", plist::Value("http://plist"), "http://built",
         "http://env"},
        {"an empty environment value still wins", "", plist::Value("http://plist"), "http://built",
         ""},
        {"then Info.plist", std::nullopt, plist::Value("http://plist"), "http://built",
         "http://plist"},
        {"a non-text Info.plist value is skipped", std::nullopt, plist::Value(int64_t(5)),
         "http://built", "http://built"},
        {"then built in", std::nullopt, std::nullopt, "http://built", "http://built"},
        {"nowhere", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const char* key : {"SettingsEndpoint", "ConfigureEndpoint"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(key) + ": " + c.name);
            plist::Dictionary quellix;
            if (c.infoPlist) quellix.set(key, *c.infoPlist);
            FixtureBundle bundle("lookup",
                                 dict({{"CFBundleIdentifier", kBundleID}, {"Quellix", quellix}}));
            std::map<std::string, std::string> builtIn;
            if (c.builtIn) builtIn[key] = *c.builtIn;
            TRNSettingsOnboardingManager::setDefaultConfigurationForTesting(builtIn);
            if (c.environment)
                ::setenv(key, c.environment->c_str(), 1);
            else
                ::unsetenv(key);
            auto manager =
                TRNSettingsOnboardingManager::initWithApplicationIdentifierModel(nullptr, nullptr);
            EXPECT_EQ(manager->valueForConfigurationKey(key), c.value);
            ::unsetenv(key);
        }
    }
}

}  // namespace
}  // namespace wv
