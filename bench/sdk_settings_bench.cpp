// The SDK's settings: a 4 KiB settings.json read into the settings model and asked whether the
// application needs registering; the whole new-application conversation (download, creation,
// download, notification) against a loopback HTTPS server with a pinned test root; and the
// resident memory the core adds once started and through a whole conversation.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Folders.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/TrustAnchors.h"
#include "platform/net/testing/TestServer.h"
#include "platform/plist/Value.h"
#include "sdk/core/QXUserDefaults.h"
#include "sdk/core/TRNCertificatePinner.h"
#include "sdk/core/TRNSettings.h"
#include "sdk/core/TRNSettingsOnboardingManager.h"
#include "sdk/core/Tarnel.h"

namespace {

using namespace wv;
using net::testing::ScriptedReply;
using net::testing::TestPKI;
using net::testing::TestServer;

const char* kBundleID = "com.example.bench";
const std::string kSettingsPath = "/spi/v2/platforms/mac/apps/com.example.bench/settings";

// Fresh data and cache folders, so nothing touches the real home folder.
const std::filesystem::path& scratch() {
    static const std::filesystem::path dir = [] {
        char pattern[] = "/tmp/wv-settings-bench-XXXXXX";
        std::filesystem::path p = mkdtemp(pattern);
        std::filesystem::create_directories(p / "cache");
        std::filesystem::create_directories(p / "data");
        setenv("XDG_CACHE_HOME", (p / "cache").c_str(), 1);
        setenv("XDG_DATA_HOME", (p / "data").c_str(), 1);
        return p;
    }();
    return dir;
}

// A settings document with every section the kits read, padded to 4 KiB.
std::string settingsDocument(const std::string& status) {
    std::string doc = R"({"app":{"status":")" + status + R"(","update_required":false},
"features":{"collect_reports":true,"collect_logged_exceptions":true,"prompt_enabled":false,
"orvelle_quellix_enabled":false,"collect_analytics":true},
"session":{"log_buffer_size":64000,"max_custom_exception_events":8,"max_custom_key_value_pairs":64},
"beta":{"update_suspend_duration":604800},
"prompt":{"title":"Send Crash Report?","message":"Looks like we crashed! Please help us fix the problem by sending a crash report.","cancel_button_title":"Don't Send","send_button_title":"Send","always_send_button_title":"Always Send"},
"analytics":{"url":"https://events.example/spi/v1/analytics","track_custom_events":true,
"track_predefined_events":true,"forward_to_halvard_analytics":false,
"include_purchase_events_in_forwarded_events":false,"max_byte_size_per_file":8000,
"max_pending_send_file_count":100,"flush_interval_secs":600,"sampling_rate":1,
"upload_timeout_secs":30,"low_power_upload_timeout_secs":90},"notes":[)";
    while (doc.size() < 4096 - 40) doc += "\"padding of the document to a full page\",";
    doc += "\"end\"]}";
    return doc;
}

void BM_SettingsFileToOnboardingAnswer(benchmark::State& state) {
    const auto path = scratch() / "model" / "settings.json";
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << settingsDocument("activated");
    state.counters["file_bytes"] = double(std::filesystem::file_size(path));
    TRNSettings settings(path);
    for (auto _ : state) {
        settings.clearSettingsDictionary();
        benchmark::DoNotOptimize(settings.settingsDictionary());
        benchmark::DoNotOptimize(settings.appNeedsOnboarding());
    }
}
BENCHMARK(BM_SettingsFileToOnboardingAnswer)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

TRNKitClass fakeCrashKit() {
    TRNKitClass kit;
    kit.name = "Quellix";
    kit.declaresTRNKit = true;
    kit.bundleIdentifier = [] { return std::string("io.bench.crash"); };
    kit.kitDisplayVersion = [] { return std::string("1.0"); };
    kit.initializeIfNeeded = [] {};
    return kit;
}

// The application's bundle naming the server as both endpoints, with a small PNG icon.
std::filesystem::path bundleFor(const TestServer& server) {
    const auto root = scratch() / ("bundle-" + std::to_string(server.port()));
    std::filesystem::create_directories(root);
    plist::Dictionary tarnel, quellix, info;
    tarnel.set("APIKey", "bench-key");
    tarnel.set("Kits", plist::Array{});
    quellix.set("SettingsEndpoint", server.url(""));
    quellix.set("ConfigureEndpoint", server.url(""));
    info.set("CFBundleIdentifier", kBundleID);
    info.set("CFBundleVersion", "1");
    info.set("CFBundleShortVersionString", "1.0");
    info.set("CFBundleIconFile", "AppIcon");
    info.set("Tarnel", tarnel);
    info.set("Quellix", quellix);
    plist::writeFile(root / "Info.plist", plist::Value(info));
    // The smallest whole PNG: 1 x 1, grey.
    static const unsigned char png[] = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
        0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00,
        0x00, 0x3a, 0x7e, 0x9b, 0x55, 0x00, 0x00, 0x00, 0x0a, 0x49, 0x44, 0x41, 0x54, 0x78,
        0x9c, 0x63, 0x60, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01, 0xe5, 0x27, 0xde, 0xfc, 0x00,
        0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    std::ofstream(root / "AppIcon.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png), sizeof png);
    return root;
}

std::unique_ptr<TestServer> newApplicationServer() {
    net::TrustAnchors::setSystemAnchorsForTesting(std::vector{TestPKI::shared().rootB()});
    TRNSetPinnedCertificatesForTesting(std::vector{TestPKI::shared().rootA()});
    auto server = TestServer::startHTTPS(TestPKI::shared().leafA());
    return server;
}

// One run of the new-application conversation on a fresh SDK object; true once the
// notification came.
bool converse(TestServer& server, const TRNKitClass& kit, int run, benchmark::State* state) {
    if (state) state->PauseTiming();
    server.script(kSettingsPath, {{200, settingsDocument("new"), {}, "application/json"},
                                  {200, settingsDocument("activated"), {}, "application/json"}});
    server.script("/spi/v1/platforms/mac/apps", {{201, "{}", {}, "application/json"}});
    std::filesystem::remove_all(Folders::cacheHome() / "io.tarnel.sdk.mac.data");
    QXUserDefaults store(scratch() / ("store-" + std::to_string(run)), kBundleID, nullptr);
    Tarnel sdk(store, {});
    std::atomic<int> notified{0};
    const auto token = NotificationCenter::defaultCenter().addObserver(
        Tarnel::kSettingsAvailableNotification, nullptr, [&](const Notification&) { ++notified; });
    if (state) state->ResumeTiming();
    sdk.start({&kit});
    sdk.settingsAndOnboardingManager()->waitForNetworkingSessionToFinish(30);
    if (state) state->PauseTiming();
    NotificationCenter::defaultCenter().removeObserver(token);
    if (state) state->ResumeTiming();
    return notified == 1;
}

void BM_NewApplicationConversationHTTPS(benchmark::State& state) {
    LogCapture quiet;
    auto server = newApplicationServer();
    ScopedMainBundle bundle(bundleFor(*server));
    const TRNKitClass kit = fakeCrashKit();
    int run = 0;
    for (auto _ : state) {
        if (!converse(*server, kit, run++, &state)) state.SkipWithError("no notification");
    }
    state.counters["requests_per_run"] = double(server->requestCount()) / double(run);
}
BENCHMARK(BM_NewApplicationConversationHTTPS)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

long statmResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// What the SDK core keeps resident after `with:` and a whole conversation: measured around the
// second of two runs, so that what the process pays once (TLS and libcurl set-up, the test
// server, code pages) is not counted as the SDK's.
void BM_ResidentAfterConversation(benchmark::State& state) {
    LogCapture quiet;
    auto server = newApplicationServer();
    ScopedMainBundle bundle(bundleFor(*server));
    const TRNKitClass kit = fakeCrashKit();
    const long cold = statmResidentKiB();
    converse(*server, kit, 1000, nullptr);
    // The first run, for comparison: it includes the process's one-time costs.
    state.counters["first_run_added_KiB"] = double(statmResidentKiB() - cold);
    long added = 0;
    for (auto _ : state) {
        QXUserDefaults store(scratch() / "resident-store", kBundleID, nullptr);
        const long before = statmResidentKiB();
        auto sdk = std::make_unique<Tarnel>(store, std::filesystem::path());
        server->script(kSettingsPath,
                       {{200, settingsDocument("new"), {}, "application/json"},
                        {200, settingsDocument("activated"), {}, "application/json"}});
        std::filesystem::remove_all(Folders::cacheHome() / "io.tarnel.sdk.mac.data");
        sdk->start({&kit});
        sdk->settingsAndOnboardingManager()->waitForNetworkingSessionToFinish(30);
        benchmark::DoNotOptimize(sdk->settings());
        added = statmResidentKiB() - before;
    }
    state.counters["resident_added_KiB"] = double(added);
}
BENCHMARK(BM_ResidentAfterConversation)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    scratch();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(scratch(), ignored);
    return 0;
}
