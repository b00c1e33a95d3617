#include "sdk/crash/kit/QXBetaController.h"

#include <gtest/gtest.h>

#include <mutex>
#include <nlohmann/json.hpp>

#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/testing/Waiting.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Log.h"
#include "platform/net/testing/TestServer.h"
#include "platform/plist/Value.h"
#include "sdk/core/TRNNetworkClient.h"
#include "sdk/core/Tarnel.h"
#include "sdk/core/testing/UploadTesting.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"

namespace wv {
namespace {

using net::testing::ScriptedReply;
using net::testing::TestPKI;
using net::testing::TestServer;

constexpr const char* kToken = "BETA-TOKEN-1";
constexpr const char* kAPIKey = "API-KEY-BETA";
constexpr const char* kCheckPath = "/spi/v2/platforms/mac/apps/com.example.beta/beta_update_check";

class RecordingDelegate : public QXBetaControllerDelegate {
  public:
    QXSettings settingsForBetaController(QXBetaController&) override {
        std::lock_guard lock(mutex_);
        return QXSettings(std::make_shared<const nlohmann::json>(settings_));
    }
    std::optional<std::string> APIKeyForBetaController(QXBetaController&) override {
        return kAPIKey;
    }
    void setSettings(nlohmann::json settings) {
        std::lock_guard lock(mutex_);
        settings_ = std::move(settings);
    }

  private:
    std::mutex mutex_;
    nlohmann::json settings_ = nlohmann::json::object();
};

ScriptedReply json(const std::string& body, int status = 200) {
    return ScriptedReply(status, body, {}, "application/json; charset=utf-8");
}

// A main bundle of a build signed for distribution whose beta endpoint is `endpoint`.
class BetaBundle {
  public:
    explicit BetaBundle(std::optional<std::string> endpoint, bool signedForDistribution = true,
                        bool extension = false) {
        plist::Dictionary info;
        info.set("CFBundleIdentifier", plist::Value("com.example.beta"));
        info.set("CFBundleName", plist::Value("Beta Example"));
        info.set("CFBundleVersion", plist::Value("77"));
        info.set("CFBundleShortVersionString", plist::Value("1.2.3 rc"));
        info.set("QuellixSignedForDistribution", plist::Value(signedForDistribution));
        if (extension) {
            plist::Dictionary point;
            point.set("NSExtensionPointIdentifier", plist::Value("com.example.widget"));
            info.set("NSExtension", plist::Value(point));
        }
        if (endpoint) {
            plist::Dictionary quellix;
            quellix.set("BetaEndpoint", plist::Value(*endpoint));
            info.set("Quellix", plist::Value(quellix));
        }
        plist::writeFile(folder_.path() / "Info.plist", plist::Value(info));
        scoped_ = std::make_unique<ScopedMainBundle>(folder_.path());
    }
    void writeStrings(const plist::Dictionary& strings) const {
        plist::writeFile(folder_.path() / "Quellix.strings", plist::Value(strings));
    }

  private:
    test::TempFolder folder_;
    std::unique_ptr<ScopedMainBundle> scoped_;
};

class BetaControllerTest : public ::testing::Test {
  protected:
    BetaControllerTest() {
        Tarnel::sharedSDK().setDebug(true);
        QXSetBetaTokenForTesting(kToken);
        TRNNetworkClient::setUniformSourceForTesting([] { return 0.5; });
    }
    ~BetaControllerTest() override {
        controller_.reset();
        server->stop();
        TRNNetworkClient::setUniformSourceForTesting(nullptr);
        QXSetBetaTokenForTesting(std::nullopt);
        Tarnel::sharedSDK().setDebug(false);
    }

    QXBetaController& makeController(std::optional<std::string> endpoint = std::nullopt,
                                     bool signedForDistribution = true) {
        bundle_.reset();  // main-bundle scopes nest: the old one goes first
        bundle_ = std::make_unique<BetaBundle>(endpoint ? *endpoint : server->url(""),
                                               signedForDistribution);
        controller_ = QXBetaController::create(delegate);
        EXPECT_TRUE(controller_->start());
        return *controller_;
    }
    void settingsArrive() {
        NotificationCenter::defaultCenter().post(Tarnel::kSettingsAvailableNotification);
    }
    // Lets every block the beta queue holds run, twice over (a check takes two turns).
    void settle() {
        controller_->queue().drain();
        controller_->queue().drain();
    }
    bool pumpUntil(const std::function<bool()>& condition) {
        return test::eventually([&] {
            loop.runUntilIdle();
            return condition();
        });
    }
    // A check that ended: the in-flight mark is gone and what it sent to the main queue ran.
    void waitForCheckToEnd() {
        ASSERT_TRUE(pumpUntil([&] { return !controller_->retrying(); }));
        settle();
        loop.runUntilIdle();
    }

    ManualRunLoop loop;
    test::PinnedRoots roots;
    std::unique_ptr<TestServer> server = TestServer::startHTTPS(TestPKI::shared().leafA());
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    LogCapture logs;
    std::unique_ptr<BetaBundle> bundle_;
    std::shared_ptr<QXBetaController> controller_;
};

TEST_F(BetaControllerTest, ASettingsDownloadSendsTheCheckAndKeepsTheOffer) {
    server->script(kCheckPath, {json(R"({"url":"https://example.test/b/42","version_string":"4.2"})")});
    auto& controller = makeController();
    settingsArrive();
    ASSERT_TRUE(server->waitForRequests(1, 20));
    ASSERT_TRUE(pumpUntil([&] { return controller.activeUpdate() != nullptr; }));

    const auto request = server->requests().at(0);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, kCheckPath);
    std::string query = "build_version=77&display_version=1.2.3%20rc";
    if (const auto instance = Tarnel::sharedSDK().instanceIdentifier())
        query += "&instance=" + *instance;
    query += "&source=3";
    EXPECT_EQ(request.target, std::string(kCheckPath) + "?" + query);
    const std::string locale = Locale::currentIdentifier().value_or("en_US_POSIX");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"User-Agent", "Quellix Mac SDK/3.10.1"},
        {"Accept", "application/json"},
        {"Accept-Charset", "utf-8"},
        {"Accept-Language", locale},
        {"Content-Language", locale},
        {"X-Quellix-Developer-Token", "7c1e9a04b3d2f58e6a0c4b71d9e2f3a85b6c0d17"},
        {"X-Quellix-API-Client-Id", "com.balvik.quellix.mac"},
        {"X-Quellix-API-Client-Display-Version", "3.10.1"},
        {"X-Quellix-API-Client-Build-Version", "129"},
        {"X-Quellix-API-Key", kAPIKey},
        {"X-Quellix-Beta-Token", kToken},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ(request.headers.value(name), value) << name;

    EXPECT_EQ(controller.activeUpdate()->url(), "https://example.test/b/42");
    EXPECT_EQ(controller.activeUpdate()->version(), "4.2");
    EXPECT_TRUE(logs.contains("[Quellix:Beta] Loading beta update"));
    EXPECT_TRUE(logs.contains("[Quellix:Beta] Beta Update-Check url string: '" +
                              server->url(std::string(kCheckPath) + "?" + query) + "'"));
    EXPECT_TRUE(logs.contains("[Quellix:Beta] Beta update loaded"));
}

TEST_F(BetaControllerTest, TheRequestCarriesItsFieldsInOrderWithTheCachePolicyAndTimeout) {
    auto& controller = makeController("https://beta.example.test");
    const auto url = controller.betaUpdateURL();
    ASSERT_TRUE(url);
    const auto request = controller.betaUpdateRequest(*url);
    EXPECT_EQ(request.httpMethod, "GET");
    EXPECT_EQ(request.timeoutInterval, 10.0);
    EXPECT_EQ(request.cachePolicy, net::URLRequest::CachePolicy::ReloadIgnoringLocalCacheData);
    std::vector<std::string> names;
    for (const auto& field : request.headers.fields()) names.push_back(field.first);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "User-Agent", "Accept", "Accept-Charset", "Accept-Language",
                         "Content-Language", "X-Quellix-Developer-Token", "X-Quellix-API-Client-Id",
                         "X-Quellix-API-Client-Display-Version",
                         "X-Quellix-API-Client-Build-Version", "X-Quellix-API-Key",
                         "X-Quellix-Beta-Token"}));
}

TEST_F(BetaControllerTest, AfterASuccessChecksPauseForTheSettingsDurationOnTheClock) {
    struct Case {
        const char* name;
        nlohmann::json settings;
        double pause;
    };
    const std::vector<Case> cases = {
        {"default", nlohmann::json::object(), 3600},
        {"from the settings", {{"beta", {{"update_suspend_duration", 120}}}}, 120},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        controller_.reset();  // with its connections, before their server goes
        server = TestServer::startHTTPS(TestPKI::shared().leafA());
        server->script(kCheckPath, {json(R"({"url":"https://example.test/b/1"})")});
        delegate->setSettings(c.settings);
        auto& controller = makeController();
        settingsArrive();
        ASSERT_TRUE(server->waitForRequests(1, 20));
        waitForCheckToEnd();
        EXPECT_TRUE(controller.checksSuspended());

        loop.advance(c.pause - 1);
        settingsArrive();
        settle();
        EXPECT_FALSE(controller.retrying());
        EXPECT_EQ(server->requestCount(), 1u) << "a check within the pause";

        loop.advance(1);
        EXPECT_FALSE(controller.checksSuspended());
        settingsArrive();
        EXPECT_TRUE(server->waitForRequests(2, 20));
        waitForCheckToEnd();
    }
}

// A failed check frees the controller: the next settings download asks again.
TEST_F(BetaControllerTest, AFailedCheckIsLoggedAndLeavesTheNextCheckFree) {
    struct Case {
        const char* name;
        ScriptedReply reply;
        const char* logged;
    };
    const std::vector<Case> cases = {
        {"an empty 200", json(""), "Code=-1014"},
        {"a rejected request", json(R"({"url":"https://example.test/b/1"})", 404),
         "Error Domain=TRNNetworkError Code=-5"},
        {"a reply of another type", ScriptedReply(200, R"({"url":"https://x.test"})", {},
                                                   "text/html"),
         "Error Domain=TRNNetworkError Code=-4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        logs.clear();
        controller_.reset();  // with its connections, before their server goes
        server = TestServer::startHTTPS(TestPKI::shared().leafA());
        server->script(kCheckPath, {c.reply, json(R"({"url":"https://example.test/b/9"})")});
        auto& controller = makeController();
        settingsArrive();
        ASSERT_TRUE(server->waitForRequests(1, 20));
        waitForCheckToEnd();
        bool logged = false;
        for (const auto& line : logs.lines())
            logged |= line.rfind("[Quellix:Beta] Failed to load update '", 0) == 0 &&
                      line.find(c.logged) != std::string::npos;
        EXPECT_TRUE(logged);
        EXPECT_EQ(controller.activeUpdate(), nullptr);
        EXPECT_FALSE(controller.checksSuspended());

        settingsArrive();
        ASSERT_TRUE(server->waitForRequests(2, 20));
        ASSERT_TRUE(pumpUntil([&] { return controller.activeUpdate() != nullptr; }));
        EXPECT_EQ(controller.activeUpdate()->url(), "https://example.test/b/9");
    }
}

TEST_F(BetaControllerTest, ACheckInFlightRefusesAnotherUntilItEnds) {
    // Trouble on the server: the client waits on the clock before it tries again, and the
    // check stays in flight all that time.
    server->script(kCheckPath, {json("", 503), json(R"({"url":"https://example.test/b/2"})")});
    auto& controller = makeController();
    settingsArrive();
    ASSERT_TRUE(server->waitForRequests(1, 20));
    EXPECT_TRUE(controller.retrying());
    settingsArrive();
    settle();
    EXPECT_EQ(server->requestCount(), 1u);

    ASSERT_TRUE(test::advanceUntil(loop, 60, [&] { return server->requestCount() == 2; }));
    ASSERT_TRUE(pumpUntil([&] { return controller.activeUpdate() != nullptr; }));
    EXPECT_EQ(controller.activeUpdate()->url(), "https://example.test/b/2");
}

// Garbage from the service gives no offer and a clear line; nothing crashes.
TEST_F(BetaControllerTest, AReplyWithoutAUsableOfferKeepsNoUpdate) {
    struct Case {
        const char* name;
        std::string body;
        const char* logged;
    };
    const char* unreadable = "[Quellix:Beta] Unable to read beta update data: Error "
                             "Domain=NSURLErrorDomain Code=-1017";
    const std::vector<Case> cases = {
        {"a url with blanks", R"({"url":"not a url at all","version_string":"2"})", unreadable},
        {"a relative url", R"({"url":"/builds/3"})", unreadable},
        {"a url that is a number", R"({"url":42})", unreadable},
        {"no url", R"({"version_string":"5"})", unreadable},
        {"an array", R"([{"url":"https://example.test/b/1"}])", unreadable},
        {"null", "null", unreadable},
        {"broken JSON", R"({"url":"https://example.test/b/1")",
         "[Quellix:Beta] Unable to deserialize beta update data: "},
        {"binary bytes", std::string("\xff\xfe\x00\x01", 4),
         "[Quellix:Beta] Unable to deserialize beta update data: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        logs.clear();
        controller_.reset();  // with its connections, before their server goes
        server = TestServer::startHTTPS(TestPKI::shared().leafA());
        server->script(kCheckPath, {json(c.body)});
        auto& controller = makeController();
        settingsArrive();
        ASSERT_TRUE(server->waitForRequests(1, 20));
        ASSERT_TRUE(pumpUntil([&] { return logs.contains("[Quellix:Beta] Beta update url is invalid"); }));
        waitForCheckToEnd();
        bool logged = false;
        for (const auto& line : logs.lines()) logged |= line.rfind(c.logged, 0) == 0;
        EXPECT_TRUE(logged);
        EXPECT_EQ(controller.activeUpdate(), nullptr);
        // The service did answer: the pause applies as after any successful load.
        EXPECT_TRUE(controller.checksSuspended());
    }
}

TEST_F(BetaControllerTest, AnUnusableCheckURLSendsNothing) {
    for (const std::string endpoint : {"", "not an endpoint"}) {
        SCOPED_TRACE(endpoint);
        logs.clear();
        auto& controller = makeController(endpoint);
        EXPECT_EQ(controller.betaUpdateURL(), std::nullopt);
        settingsArrive();
        settle();
        EXPECT_FALSE(controller.retrying());
        EXPECT_TRUE(logs.contains(
            "[Quellix:Beta] Failed to load update 'Error Domain=NSURLErrorDomain Code=-1000 "
            "\"no usable beta update-check URL\"'"));
    }
    EXPECT_EQ(server->requestCount(), 0u);
}

TEST_F(BetaControllerTest, WithoutATokenStartFailsAndNothingIsAsked) {
    QXSetBetaTokenForTesting(std::nullopt);
    bundle_ = std::make_unique<BetaBundle>(server->url(""));
    controller_ = QXBetaController::create(delegate);
    EXPECT_EQ(controller_->betaToken(), std::nullopt);
    EXPECT_FALSE(controller_->start());
    // The token is read once: one given later does not count.
    QXSetBetaTokenForTesting(kToken);
    EXPECT_EQ(controller_->betaToken(), std::nullopt);
    settingsArrive();
    settle();
    EXPECT_EQ(server->requestCount(), 0u);
}

TEST_F(BetaControllerTest, OnlyADistributionBuildOutsideAnExtensionChecks) {
    struct Case {
        const char* name;
        bool signedForDistribution;
        bool extension;
        bool supported;
    };
    const std::vector<Case> cases = {
        {"signed for distribution", true, false, true},
        {"a development build", false, false, false},
        {"an extension", true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bundle_.reset();
        bundle_ = std::make_unique<BetaBundle>(server->url(""), c.signedForDistribution,
                                               c.extension);
        EXPECT_EQ(QXBetaController::isBetaSupported(), c.supported);
    }
    server->script(kCheckPath, {json(R"({"url":"https://example.test/b/1"})")});
    auto& controller = makeController(std::nullopt, false);
    EXPECT_FALSE(controller.shouldGetUpdates());
    settingsArrive();
    settle();
    EXPECT_EQ(server->requestCount(), 0u);
}

TEST(BetaUpdateTest, PromptTextsComeFromTheStringsTableElseTheirDefaults) {
    BetaBundle bundle(std::nullopt);
    QXBetaUpdate update("https://example.test/b/1", "1.0");
    EXPECT_EQ(update.promptTitle(), "New Build Available");
    EXPECT_EQ(update.promptMessage(), "A new version of Beta Example is available for testing.");
    EXPECT_EQ(update.cancelLabel(), "Cancel");
    EXPECT_EQ(update.installLabel(), "Install");

    plist::Dictionary strings;
    strings.set("QuellixDistributionPromptTitle", plist::Value("Neuer Build"));
    strings.set("QuellixDistributionPromptMessage", plist::Value("%@ hat 100% %d neu: %@"));
    strings.set("QuellixDistributionPromptInstallTitle", plist::Value("Installieren"));
    bundle.writeStrings(strings);
    EXPECT_EQ(update.promptTitle(), "Neuer Build");
    EXPECT_EQ(update.promptMessage(), "Beta Example hat 100% %d neu: %@");
    EXPECT_EQ(update.cancelLabel(), "Cancel");
    EXPECT_EQ(update.installLabel(), "Installieren");
}

TEST(BetaUpdateTest, TheOfferNeedsAURLAndKeepsATextVersion) {
    auto update = QXBetaUpdate::initWithDictionary(
        {{"url", "https://example.test/b/1"}, {"version_string", 7}});
    ASSERT_TRUE(update);
    EXPECT_EQ(update->version(), std::nullopt);

    std::optional<Error> error;
    EXPECT_EQ(QXBetaUpdate::betaUpdateWithDictionary({{"url", ""}}, &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "NSURLErrorDomain");
    EXPECT_EQ(error->code, -1017);
    EXPECT_TRUE(error->userInfo.empty());
}

}  // namespace
}  // namespace wv
