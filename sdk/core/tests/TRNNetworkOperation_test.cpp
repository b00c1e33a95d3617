#include "sdk/core/TRNNetworkOperation.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <future>

#include "platform/net/testing/TestServer.h"
#include "sdk/core/TRNNetworkClient.h"

namespace wv {
namespace {

// Sets the locale variables for one test and puts the old ones back.
class LocaleEnvironment {
  public:
    explicit LocaleEnvironment(const char* lang) {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* old = getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            unsetenv(name);
        }
        if (lang) setenv("LANG", lang, 1);
    }
    ~LocaleEnvironment() {
        for (auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(TRNNetworkOperation, NoAPIKeyNoOperation) {
    EXPECT_EQ(TRNNetworkOperation::initWithAPIKey(std::nullopt), nullptr);
    auto op = TRNNetworkOperation::initWithAPIKey(std::string("key-1"));
    ASSERT_TRUE(op);
    EXPECT_EQ(op->APIKey(), "key-1");
    EXPECT_EQ(op->lockName(), "com.balvik.TRNNetworkOperation-lock");
}

TEST(TRNNetworkOperation, TheDefaultRequestCarriesTheNineHeadersInOrder) {
    LocaleEnvironment env("uk_UA.UTF-8");
    auto op = TRNNetworkOperation::initWithAPIKey(std::string("abc"));
    const auto request =
        op->mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL("https://h/x");
    EXPECT_EQ(request.url, "https://h/x");
    EXPECT_EQ(request.httpMethod, "GET");
    EXPECT_EQ(request.timeoutInterval, 10.0);
    EXPECT_EQ(static_cast<int>(request.cachePolicy), 1);
    const std::vector<net::HTTPHeaders::Field> expected = {
        {"User-Agent", "io.tarnel.sdk.mac/1.7.5 (68)"},
        {"Accept-Charset", "utf-8"},
        {"Accept-Language", "uk_UA"},
        {"Content-Language", "uk_UA"},
        {"X-Quellix-Developer-Token", "7c1e9a04b3d2f58e6a0c4b71d9e2f3a85b6c0d17"},
        {"X-Quellix-API-Client-Id", "io.tarnel.sdk.mac"},
        {"X-Quellix-API-Client-Display-Version", "1.7.5"},
        {"X-Quellix-API-Client-Build-Version", "68"},
        {"X-Quellix-API-Key", "abc"},
    };
    EXPECT_EQ(request.headers.fields(), expected);
    EXPECT_EQ(op->mutableRequestWithDefaultHTTPHeadersForURL("https://h/", 2.5).timeoutInterval,
              2.5);
}

TEST(TRNNetworkOperation, LocaleComesFromTheEnvironmentInUnderscoreForm) {
    struct Case {
        const char* lang;
        std::string identifier;
    };
    for (const auto& c : std::vector<Case>{{"de_DE.UTF-8", "de_DE"},
                                           {"pt_BR.UTF-8@euro", "pt_BR"},
                                           {"C", "en_US"},
                                           {nullptr, "en_US"}}) {
        LocaleEnvironment env(c.lang);
        EXPECT_EQ(TRNNetworkOperation::localeIdentifier(), c.identifier) << (c.lang ? c.lang : "-");
    }
}

TEST(TRNNetworkOperation, TheServerReceivesTheDefaultHeaders) {
    LocaleEnvironment env("fr_FR.UTF-8");
    auto server = net::testing::TestServer::startHTTP();
    server->script("/settings", {{200, "{}", {}, "application/json"}});
    auto op = TRNNetworkOperation::initWithAPIKey(std::string("the-key"));
    auto request =
        op->mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(server->url("/settings"));
    auto client = TRNNetworkClient::create();
    std::promise<bool> done;
    client->startDataTaskWithRequest(request, 1,
                                     [&](auto, auto, auto error) { done.set_value(!error); });
    ASSERT_TRUE(done.get_future().get());
    const auto recorded = server->requests().at(0).headers;
    EXPECT_EQ(recorded.value("user-agent"), "io.tarnel.sdk.mac/1.7.5 (68)");
    EXPECT_EQ(recorded.value("Accept-Language"), "fr_FR");
    EXPECT_EQ(recorded.value("Content-Language"), "fr_FR");
    EXPECT_EQ(recorded.value("X-Quellix-API-Key"), "the-key");
    EXPECT_EQ(recorded.value("X-Quellix-Developer-Token"), TRNNetworkOperation::kDeveloperToken);
    EXPECT_EQ(recorded.value("X-Quellix-API-Client-Build-Version"), "68");
}

}  // namespace
}  // namespace wv
