#include "sdk/crash/kit/QXWebView.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/foundation/ClassRegistry.h"
#include "sdk/crash/context/QXContext.h"
#include "sdk/crash/context/QXContextInitialize.h"
#include "sdk/crash/context/QXFile.h"
#include "sdk/crash/context/QXFileReadSections.h"
#include "sdk/crash/context/tests/CrashTestSupport.h"

namespace wv {
namespace {

struct MadeScript {
    std::string source;
    webkit::UserScriptInjectionTime injectionTime;
    bool forMainFrameOnly;
};

TEST(WebViewTest, WithoutAUserScriptClassMonitoringFailsAndChangesNothing) {
    ASSERT_FALSE(ClassRegistry::shared().isLinked(webkit::kUserScriptClassName));
    webkit::WebViewConfiguration configuration;
    EXPECT_FALSE(QXWebViewInstallErrorScript(configuration));
    EXPECT_TRUE(configuration.userContentController()->userScripts().empty());
}

TEST(WebViewTest, ALinkedUserScriptClassGetsTheScriptForTheMainFrameAtDocumentEnd) {
    ScopedClassRegistration linked(
        webkit::kUserScriptClassName,
        webkit::UserScriptClass([](const std::string& source, webkit::UserScriptInjectionTime when,
                                   bool mainFrameOnly) {
            return std::any(MadeScript{source, when, mainFrameOnly});
        }));
    webkit::WebViewConfiguration configuration;
    ASSERT_TRUE(QXWebViewInstallErrorScript(configuration));
    const auto scripts = configuration.userContentController()->userScripts();
    ASSERT_EQ(scripts.size(), 1u);
    const auto* script = std::any_cast<MadeScript>(&scripts[0]);
    ASSERT_NE(script, nullptr);
    EXPECT_EQ(script->source, QXWebViewErrorScriptSource());
    EXPECT_EQ(script->injectionTime, webkit::UserScriptInjectionTime::AtDocumentEnd);
    EXPECT_TRUE(script->forMainFrameOnly);
}

TEST(WebViewTest, AClassThatMakesNoScriptLeavesTheConfigurationAlone) {
    ScopedClassRegistration linked(
        webkit::kUserScriptClassName,
        webkit::UserScriptClass(
            [](const std::string&, webkit::UserScriptInjectionTime, bool) { return std::any(); }));
    webkit::WebViewConfiguration configuration;
    EXPECT_FALSE(QXWebViewInstallErrorScript(configuration));
    EXPECT_TRUE(configuration.userContentController()->userScripts().empty());
}

// The library carries the script file byte for byte, the very text node tests.
TEST(WebViewTest, TheCompiledScriptIsTheScriptFile) {
    std::ifstream file(WV_WEB_VIEW_SCRIPT_PATH, std::ios::binary);
    ASSERT_TRUE(file);
    std::stringstream content;
    content << file.rdbuf();
    EXPECT_EQ(QXWebViewErrorScriptSource(), content.str());
    EXPECT_EQ(QXWebViewErrorScriptSource().data()[QXWebViewErrorScriptSource().size()], '\0');
}

class WebViewMessageTest : public ::testing::Test {
  protected:
    WebViewMessageTest() {
        QXContextSetInstallers(QXContextInstallers{});
        QXContextInitData data{};
        data.reportDirectory = root_.c_str();
        data.maxCustomExceptions = 16;
        data.customExceptionsEnabled = 1;
        data.errorReportingEnabled = 1;
        EXPECT_TRUE(QXContextInitialize(&data));
        for (int i = 0; i < 5000 && !QXContextIsInitialized(); ++i) usleep(1000);
        EXPECT_TRUE(QXContextIsInitialized());
    }
    // The exception lines of the run's custom-exception store.
    std::vector<nlohmann::json> recorded() const {
        std::vector<nlohmann::json> lines;
        for (const char* name : {"custom_exception_a.qxrecord", "custom_exception_b.qxrecord"}) {
            if (auto sections = QXFileReadSections(folder_ / name, false)) {
                for (auto& section : *sections)
                    if (section.contains("exception")) lines.push_back(section["exception"]);
            }
        }
        return lines;
    }

    test::TempFolder folder_;
    std::string root_ = folder_.path().string();
};

TEST_F(WebViewMessageTest, ADictionaryBodyIsRecordedAsAJavaScriptExceptionWithItsMsg) {
    struct Case {
        const char* name;
        plist::Dictionary body;
        std::string reason;
    };
    auto body = [](std::vector<std::pair<std::string, plist::Value>> entries) {
        plist::Dictionary d;
        for (auto& [key, value] : entries) d.set(key, value);
        return d;
    };
    const std::vector<Case> cases = {
        {"a page error",
         body({{"msg", plist::Value("Uncaught TypeError: \"a\" is undefined\nat ü.js")},
               {"url", plist::Value("https://example.test/app.js")},
               {"line", plist::Value(int64_t{12})},
               {"column", plist::Value(int64_t{4})}}),
         "Uncaught TypeError: \"a\" is undefined\nat ü.js"},
        {"no msg", body({{"url", plist::Value("https://example.test/x.js")}}), ""},
        {"a msg that is no text", body({{"msg", plist::Value(int64_t{7})}}), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = recorded().size();
        EXPECT_TRUE(QXWebViewRecordScriptMessage({"quellix", plist::Value(c.body)}));
        const auto lines = recorded();
        ASSERT_EQ(lines.size(), before + 1);
        const auto& line = lines.back();
        EXPECT_EQ(line["type"], "javascript");
        EXPECT_EQ(QXFileHexDecodeString(line["name"].get<std::string>()), "exception");
        EXPECT_EQ(QXFileHexDecodeString(line.value("reason", std::string())), c.reason);
        EXPECT_FALSE(line.contains("frames"));
    }
    // Only the message is kept, never where it came from.
    EXPECT_EQ(recorded().front().dump().find(QXFileHexEncodeString("example.test")),
              std::string::npos);
}

TEST_F(WebViewMessageTest, ABodyThatIsNoDictionaryIsRefusedAndRecordsNothing) {
    const std::vector<std::optional<plist::Value>> bodies = {
        plist::Value("Uncaught Error: boom"),
        plist::Value(plist::Array{plist::Value("msg")}),
        plist::Value(int64_t{1}),
        std::nullopt,
    };
    for (const auto& body : bodies) EXPECT_FALSE(QXWebViewRecordScriptMessage({"quellix", body}));
    EXPECT_TRUE(recorded().empty());
    // Nothing crash-like either: a page's error is never the run's crash.
    EXPECT_FALSE(std::filesystem::exists(folder_ / "exception.qxrecord"));
}

}  // namespace
}  // namespace wv
