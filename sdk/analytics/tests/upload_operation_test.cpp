#include <gtest/gtest.h>

#include "EventFilesFixtures.h"
#include "platform/foundation/WallClock.h"
#include "sdk/analytics/PLRUploadOperation.h"

namespace wv {
namespace {

TEST(UploadOperation, TheRequestCarriesTheAnalyticsHeaders) {
    const auto dir = testing::freshFolder();
    const auto body = dir / "0F1E2D3C-AAAA-5BBB-8CCC-000000000001.multipartmime";
    testing::writeFile(body, std::string(1234, 'b'));
    ScopedWallClock clock(std::make_shared<FixedWallClock>(
        WallClock::TimePoint(std::chrono::milliseconds(1700000123987))));
    PLRUploadOperation op(nullptr, "https://events.example/api/v1/events", "KEY-123", body,
                          "0F1E2D3C-AAAA-5BBB-8CCC-000000000001");
    const net::URLRequest r = op.makeRequest();
    EXPECT_EQ(r.httpMethod, "POST");
    EXPECT_EQ(r.url, "https://events.example/api/v1/events");
    EXPECT_TRUE(r.body.empty());
    EXPECT_TRUE(r.bodyFile.empty()) << "the upload task streams the file, not the request";
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Content-Type", "multipart/form-data; boundary=0F1E2D3C-AAAA-5BBB-8CCC-000000000001"},
        {"Content-Length", "1234"},
        {"User-Agent", "Plurio Mac SDK/1.3.7"},
        {"X-QUELLIX-DEVELOPER-TOKEN", "7c1e9a04b3d2f58e6a0c4b71d9e2f3a85b6c0d17"},
        {"X-QUELLIX-API-CLIENT-TYPE", "Plurio Mac SDK"},
        {"X-QUELLIX-API-CLIENT-VERSION", "30"},
        {"X-QUELLIX-API-CLIENT-DISPLAY-VERSION", "1.3.7"},
        {"X-QUELLIX-API-CLIENT-BUILD-VERSION", "30"},
        {"X-QUELLIX-API-KEY", "KEY-123"},
        {"X-Quellix-Api-Client-Packaged-Timestamp", "1700000123"},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ(r.headers.value(name), value) << name;
    EXPECT_EQ(PLRUploadOperation::currentTimestampString(), "1700000123");
}

TEST(UploadOperation, AnUnreadableBodyHasZeroLength) {
    PLRUploadOperation op(nullptr, "https://e/x", "K", "/nonexistent/B.multipartmime", "B");
    EXPECT_EQ(op.makeRequest().headers.value("Content-Length"), "0");
}

}  // namespace
}  // namespace wv
