#include "sdk/core/TRNOnboardingOperation.h"

#include <gtest/gtest.h>

#include <future>

#include "TarnelFixtures.h"
#include "platform/foundation/Log.h"
#include "platform/net/MemoryOutputStream.h"
#include "platform/net/testing/TestServer.h"
#include "sdk/core/TRNApplicationIdentiferModel.h"
#include "sdk/core/TRNMultipartMimeStreamEncoder.h"
#include "sdk/core/TRNNetworkClient.h"

namespace wv {
namespace {

using net::testing::RecordedPart;
using net::testing::ScriptedReply;
using net::testing::TestServer;
using testing::dict;
using testing::FixtureBundle;

using Fields = std::vector<std::pair<std::string, std::string>>;

class RecordingDelegate : public TRNOnboardingOperationDelegate {
  public:
    void onboardingOperationDidCompleteAppCreationWithError(
        TRNOnboardingOperation&, const std::optional<net::Error>& error) override {
        record("create", error);
    }
    void onboardingOperationDidCompleteAppUpdateWithError(
        TRNOnboardingOperation&, const std::optional<net::Error>& error) override {
        record("update", error);
    }
    std::future<std::pair<std::string, std::optional<net::Error>>> next() {
        return promise_.get_future();
    }
    int calls = 0;

  private:
    void record(const std::string& kind, const std::optional<net::Error>& error) {
        if (++calls == 1) promise_.set_value({kind, error});
    }
    std::promise<std::pair<std::string, std::optional<net::Error>>> promise_;
};

plist::Dictionary appInfo() {
    return dict({{"CFBundleIdentifier", "org.example/app"},
                 {"CFBundleDisplayName", "Example"},
                 {"CFBundleVersion", "9"},
                 {"CFBundleShortVersionString", "2.5"},
                 {"QuellixSignedForDistribution", true}});
}

class OnboardingOperationTest : public ::testing::Test {
  protected:
    OnboardingOperationTest() : bundle_("onboarding", appInfo()) {
        TRNNetworkClient::setUniformSourceForTesting([] { return 0.5; });
    }
    ~OnboardingOperationTest() override { TRNNetworkClient::setUniformSourceForTesting(nullptr); }

    std::shared_ptr<TRNOnboardingOperation> make(
        bool create, const std::string& endpoint, std::weak_ptr<TRNNetworkClient> client,
        std::shared_ptr<TRNApplicationIdentiferModel> model = nullptr) {
        return TRNOnboardingOperation::initWithDelegate(
            delegate_, create, std::string("KEY"),
            {{"io.tarnel.sdk.mac", "1.7.5"}, {"com.b.kit", "2.0"}}, std::move(model), endpoint,
            std::move(client));
    }

    // The form as cpp-httplib's parser reads it, sent through a plain client.
    std::vector<RecordedPart> parse(const TRNOnboardingOperation& op,
                                    const std::shared_ptr<TRNIcon>& icon) {
        auto server = TestServer::startHTTP();
        server->script("/form", {{200}});
        net::URLRequest request(server->url("/form"));
        request.httpMethod = "POST";
        auto stream = std::make_shared<net::MemoryOutputStream>();
        TRNMultipartMimeStreamEncoder encoder(stream, std::nullopt);
        encoder.encode([&](TRNMultipartMimeStreamEncoder& e) { op.encodeForm(e, icon); });
        request.headers.set("Content-Type", encoder.contentTypeHTTPHeaderValue());
        request.body = stream->takeData();
        std::promise<void> done;
        auto client = TRNNetworkClient::create();
        client->startDataTaskWithRequest(
            request, 0, [&](const auto&, const auto&, const auto&) { done.set_value(); });
        done.get_future().wait();
        EXPECT_TRUE(server->requests().at(0).formComplete);
        return server->requests().at(0).parts;
    }

    static Fields fields(const std::vector<RecordedPart>& parts) {
        Fields out;
        for (const auto& p : parts) out.push_back({p.name, p.content});
        return out;
    }

    FixtureBundle bundle_;
    std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
    LogCapture log_;
};

TEST_F(OnboardingOperationTest, URLsMethodsAndTimeout) {
    auto op = make(true, "https://api.example", {});
    EXPECT_EQ(op->appCreateURL(), "https://api.example/spi/v1/platforms/mac/apps");
    EXPECT_EQ(op->appUpdateURL(), "https://api.example/spi/v1/platforms/mac/apps/org.example_app");
    const auto create = op->onboardingRequestForAppCreate(true);
    EXPECT_EQ(create.httpMethod, "POST");
    EXPECT_EQ(create.url, "https://api.example/spi/v1/platforms/mac/apps");
    EXPECT_EQ(create.timeoutInterval, 10.0);
    EXPECT_EQ(create.headers.value("X-Quellix-API-Key"), "KEY");
    const auto update = op->onboardingRequestForAppCreate(false);
    EXPECT_EQ(update.httpMethod, "PUT");
    EXPECT_EQ(update.url, "https://api.example/spi/v1/platforms/mac/apps/org.example_app");
    EXPECT_EQ(TRNOnboardingOperation::initWithDelegate(delegate_, true, std::nullopt, {}, nullptr,
                                                       "https://api.example", {}),
              nullptr);
}

TEST_F(OnboardingOperationTest, TwoSlicesAndAFractionalIconSize) {
    // A fat file with an Intel and an ARM slice stands for a program built for both.
    auto model = TRNApplicationIdentiferModel::initWithInstallID("I", testing::fixture("fat_all"));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->architectureUUIDMap().size(), 2u);
    auto op = make(true, "https://api.example", {}, model);
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 1, 2, 3};
    auto icon = std::make_shared<TRNIcon>(png, TRNSize{512.7, 512.2}, false);
    const auto parts = parse(*op, icon);

    Fields expected = {
        {"app[identifier]", "org.example_app"},
        {"app[instance_identifier]", model->instanceIdentifier()},
        {"app[name]", "Example"},
        {"app[build_version]", "9"},
        {"app[display_version]", "2.5"},
        {"app[source]", "3"},
        {"app[minimum_sdk_version]", model->minimumSDKString()},
        {"app[built_sdk_version]", model->builtSDKString()},
        {"app[build][libraries][com.b.kit]", "2.0"},
        {"app[build][libraries][io.tarnel.sdk.mac]", "1.7.5"},
    };
    for (const auto& [arch, uuid] : model->architectureUUIDMap()) {
        expected.push_back({"app[slices][][arch]", arch});
        expected.push_back({"app[slices][][uuid]", uuid});
    }
    expected.push_back(
        {"app[icon][hash]", testing::toolDigest("sha1sum", std::string(png.begin(), png.end()))});
    expected.push_back({"app[icon][prerendered]", "false"});
    expected.push_back({"app[icon][width]", "512"});
    expected.push_back({"app[icon][height]", "512"});
    expected.push_back({"app[icon][data]", std::string(png.begin(), png.end())});
    EXPECT_EQ(fields(parts), expected);
    EXPECT_EQ(parts.back().filename, "icon.png");
    EXPECT_EQ(parts.back().contentType, "image/png");
    EXPECT_NE(expected[10].second, expected[12].second);  // two different architectures
}

TEST_F(OnboardingOperationTest, NoIconOrAnIconWithoutDataSendsNoIconFields) {
    auto model =
        TRNApplicationIdentiferModel::initWithInstallID("I", testing::fixture("thin_x86_64"));
    auto op = make(false, "https://api.example", {}, model);
    for (const auto& icon : {std::shared_ptr<TRNIcon>(),
                             std::make_shared<TRNIcon>(std::vector<uint8_t>{}, TRNSize{1, 1})}) {
        const auto parts = parse(*op, icon);
        ASSERT_FALSE(parts.empty());
        for (const auto& p : parts) EXPECT_EQ(p.name.rfind("app[icon]", 0), std::string::npos);
        EXPECT_EQ(parts.back().name, "app[slices][][uuid]");
    }
}

struct EndCase {
    const char* name;
    bool create;
    std::string endpoint;
    bool clientGone;
};

TEST_F(OnboardingOperationTest, NoEndpointOrNoClientEndsAtOnceWithMinus3) {
    const std::vector<EndCase> cases = {
        {"creation, no endpoint", true, "", false},
        {"update, no endpoint", false, "", false},
        {"creation, client gone", true, "http://127.0.0.1:9", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delegate_ = std::make_shared<RecordingDelegate>();
        auto client = TRNNetworkClient::create();
        std::weak_ptr<TRNNetworkClient> weak = client;
        if (c.clientGone) client.reset();
        auto op = make(c.create, c.endpoint, weak);
        auto outcome = delegate_->next();
        op->start();
        ASSERT_EQ(outcome.wait_for(std::chrono::seconds(0)), std::future_status::ready);
        auto [kind, error] = outcome.get();
        EXPECT_EQ(kind, c.create ? "create" : "update");
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, -3);
        EXPECT_EQ(op->error()->code, -3);
        EXPECT_TRUE(op->isFinished());
    }
}

struct AttemptCase {
    const char* name;
    bool create;
    int status;
    size_t attempts;
    int64_t code;
};

TEST_F(OnboardingOperationTest, AttemptsAreTheRetryLimitPlusOne) {
    const std::vector<AttemptCase> cases = {
        {"creation, always busy", true, 503, 11, -6},
        {"update, always busy", false, 503, 2, -6},
        {"creation, rejected", true, 422, 1, -5},
        {"update, accepted", false, 204, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delegate_ = std::make_shared<RecordingDelegate>();
        auto server = TestServer::startHTTP();
        server->script("/spi/v1/platforms/mac/apps", {{c.status}});
        server->script("/spi/v1/platforms/mac/apps/org.example_app", {{c.status}});
        auto client = TRNNetworkClient::create();
        client->setRetrySchedulerForTesting([](double, std::function<void()> b) { b(); });
        auto op = make(c.create, server->url(""), client);
        auto outcome = delegate_->next();
        op->start();
        ASSERT_EQ(outcome.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        auto [kind, error] = outcome.get();
        EXPECT_EQ(server->requestCount(), c.attempts);
        for (const auto& r : server->requests()) EXPECT_EQ(r.method, c.create ? "POST" : "PUT");
        EXPECT_EQ(error ? error->code : 0, c.code);
        EXPECT_EQ(delegate_->calls, 1);
    }
}

}  // namespace
}  // namespace wv
