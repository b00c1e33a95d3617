// A GET of 1 KiB of JSON on loopback, connection reused: through the network client (its
// session, pinning and classification) and through a bare libcurl easy handle, over HTTP
// and HTTPS. The HTTPS server's root is pinned through the test seam.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <future>

#include "platform/net/testing/TestServer.h"
#include "sdk/core/TRNNetworkClient.h"

namespace {

using wv::net::testing::TestPKI;
using wv::net::testing::TestServer;

std::unique_ptr<TestServer> startServer(bool https) {
    auto server =
        https ? TestServer::startHTTPS(TestPKI::shared().leafA()) : TestServer::startHTTP();
    server->script("/json",
                   {{200, "{\"v\":\"" + std::string(1016, 'x') + "\"}", {}, "application/json"}});
    return server;
}

void clientGet(benchmark::State& state, bool https) {
    wv::TRNSetPinnedCertificatesForTesting(std::vector{TestPKI::shared().rootA()});
    auto server = startServer(https);
    auto client = wv::TRNNetworkClient::createWithQueue(nullptr, wv::TRNPinnedCertificates());
    wv::net::URLRequest request(server->url("/json"), 10);
    request.headers.set("Accept", "application/json");
    for (auto _ : state) {
        std::promise<bool> done;
        client->startDataTaskWithRequest(request, 0, [&](auto data, auto, auto error) {
            done.set_value(!error && data && data->size() == 1024);
        });
        if (!done.get_future().get()) state.SkipWithError("request failed");
    }
}

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

void curlGet(benchmark::State& state, bool https) {
    auto server = startServer(https);
    CURL* easy = curl_easy_init();
    const std::string url = server->url("/json");
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
    curl_easy_setopt(easy, CURLOPT_CAINFO, TestPKI::shared().rootAPath().c_str());
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    for (auto _ : state) {
        if (curl_easy_perform(easy) != CURLE_OK) state.SkipWithError("request failed");
    }
    curl_easy_cleanup(easy);
}

void BM_ClientHTTP(benchmark::State& s) { clientGet(s, false); }
void BM_CurlHTTP(benchmark::State& s) { curlGet(s, false); }
void BM_ClientHTTPS(benchmark::State& s) { clientGet(s, true); }
void BM_CurlHTTPS(benchmark::State& s) { curlGet(s, true); }
BENCHMARK(BM_ClientHTTP)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_CurlHTTP)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ClientHTTPS)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_CurlHTTPS)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
