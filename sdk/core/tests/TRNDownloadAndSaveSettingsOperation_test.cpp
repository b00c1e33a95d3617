#include "sdk/core/TRNDownloadAndSaveSettingsOperation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>

#include "TarnelFixtures.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "sdk/core/TRNNetworkClient.h"

namespace wv {
namespace {

struct Outcome {
    int calls = 0;
    std::optional<net::Error> error;
};

class RecordingDelegate : public TRNDownloadAndSaveSettingsOperationDelegate {
  public:
    void operationDidDownloadAndSaveSettingsWithError(
        TRNDownloadAndSaveSettingsOperation&, const std::optional<net::Error>& error) override {
        ++outcome.calls;
        outcome.error = error;
    }
    Outcome outcome;
};

class DownloadOperationTest : public ::testing::Test {
  protected:
    DownloadOperationTest()
        : folder_(Folders::cacheHome() / "download-op" /
                  ::testing::UnitTest::GetInstance()->current_test_info()->name()) {
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    ~DownloadOperationTest() override { std::filesystem::remove_all(folder_); }

    std::shared_ptr<TRNDownloadAndSaveSettingsOperation> make(
        std::weak_ptr<TRNNetworkClient> client = {}, std::optional<std::string> token = {},
        bool report = true, bool debug = false) {
        return TRNDownloadAndSaveSettingsOperation::initWithAPIKey(
            std::string("KEY"), delegate_, "http://127.0.0.1:9/settings", folder_,
            folder_ / "settings.json", "INSTALL-1", token, client, report, debug);
    }

    std::filesystem::path folder_;
    std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
    LogCapture log_;
};

TEST_F(DownloadOperationTest, NothingWithoutAnAPIKey) {
    EXPECT_EQ(TRNDownloadAndSaveSettingsOperation::initWithAPIKey(
                  std::nullopt, delegate_, "http://x", folder_, folder_ / "settings.json", "I",
                  std::nullopt, {}, true, false),
              nullptr);
}

TEST_F(DownloadOperationTest, AGoneClientEndsTheOperationWithMinus3) {
    std::weak_ptr<TRNNetworkClient> gone;
    {
        auto client = TRNNetworkClient::create();
        gone = client;
    }
    auto op = make(gone);
    op->start();
    EXPECT_EQ(delegate_->outcome.calls, 1);
    ASSERT_TRUE(delegate_->outcome.error);
    EXPECT_EQ(delegate_->outcome.error->domain, "TRNNetworkError");
    EXPECT_EQ(delegate_->outcome.error->code, -3);
    EXPECT_EQ(op->error()->code, -3);
    EXPECT_TRUE(op->isFinished());
    EXPECT_FALSE(op->isExecuting());
}

struct HeaderCase {
    const char* name;
    std::optional<std::string> token;
    bool report;
    bool debug;
    std::optional<std::string> header;
    size_t suppressedLines;
};

TEST_F(DownloadOperationTest, RequestHeaders) {
    const std::vector<HeaderCase> cases = {
        {"token", "T-1", true, false, "T-1", 0},
        {"empty token", "", true, false, std::nullopt, 0},
        {"suppressed in debug", "T-1", false, true, std::nullopt, 1},
        {"suppressed quietly", "T-1", false, false, std::nullopt, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log_.clear();
        auto op = make({}, c.token, c.report, c.debug);
        const auto request =
            op->mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL("http://127.0.0.1:9/s");
        EXPECT_EQ(request.httpMethod, "GET");
        EXPECT_EQ(request.timeoutInterval, 10.0);
        EXPECT_EQ(request.headers.value("Accept"), "application/json");
        EXPECT_EQ(request.headers.value("X-Quellix-Installation-ID"), "INSTALL-1");
        EXPECT_EQ(request.headers.value("X-Quellix-API-Client-Version"), "1.7.5");
        EXPECT_EQ(request.headers.value("X-Quellix-API-Key"), "KEY");
        EXPECT_TRUE(std::regex_match(*request.headers.value("X-Quellix-OS-Display-Version"),
                                     std::regex("[0-9]+\\.[0-9]+\\.[0-9]+")));
        EXPECT_EQ(request.headers.value("X-Quellix-Advertising-Token"), c.header);
        EXPECT_EQ(log_.count("[Tarnel] Suppressing device identifier reporting"),
                  c.suppressedLines);
    }
}

TEST_F(DownloadOperationTest, AFailedMoveKeepsThePreviousFile) {
    testing::writeText(folder_ / "settings.json", "{\"previous\":true}");
    testing::writeText(folder_ / "stray.txt", "x");
    auto op = make();
    const auto error = op->installDownload((folder_ / "vanished.json").string(), std::nullopt);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "NSPOSIXErrorDomain");
    std::ifstream in(folder_ / "settings.json");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "{\"previous\":true}");
    EXPECT_TRUE(std::filesystem::exists(folder_ / "stray.txt"));  // nothing removed either
    const auto lines = log_.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "[Tarnel] Unable to complete settings download " + error->description());
}

struct InstallCase {
    const char* name;
    std::string reply;
    bool installed;
};

TEST_F(DownloadOperationTest, OnlyAJSONObjectReplacesTheFile) {
    const std::vector<InstallCase> cases = {
        {"object", R"({"app":{"status":"new"}})", true},
        {"array", "[]", false},
        {"number", "12", false},
        {"not JSON", "<html>", false},
        {"empty", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder_);
        testing::writeText(folder_ / "settings.json", "{\"previous\":true}");
        testing::writeText(folder_ / "stray" / "inner.txt", "x");
        const auto download = Folders::cacheHome() / "download-op-reply.json";
        testing::writeText(download, c.reply);
        net::URLResponse response;
        response.isHTTP = true;
        response.statusCode = 200;
        const auto error = make()->installDownload(download.string(), response);
        std::ifstream in(folder_ / "settings.json");
        const std::string now(std::istreambuf_iterator<char>(in), {});
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        if (c.installed) {
            EXPECT_FALSE(error);
            EXPECT_EQ(now, c.reply);
            EXPECT_EQ(names, std::vector<std::string>{"settings.json"});
        } else {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->domain, "TRNNetworkError");
            EXPECT_EQ(error->code, -4);
            EXPECT_EQ(std::any_cast<int64_t>(error->userInfo.at("type")), 1);
            EXPECT_EQ(now, "{\"previous\":true}");
            EXPECT_EQ(names, (std::vector<std::string>{"settings.json", "stray"}));
        }
        EXPECT_FALSE(std::filesystem::exists(download));  // moved or discarded, never left
    }
}

TEST_F(DownloadOperationTest, AFolderInTheFilesPlaceIsReplaced) {
    std::filesystem::create_directories(folder_ / "settings.json" / "inner");
    const auto download = Folders::cacheHome() / "download-op-folder.json";
    testing::writeText(download, "{\"a\":1}");
    EXPECT_FALSE(make()->installDownload(download.string(), std::nullopt));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder_ / "settings.json"));
}

}  // namespace
}  // namespace wv
