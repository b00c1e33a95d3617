#include "platform/net/URLSession.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "platform/net/TrustAnchors.h"
#include "platform/net/testing/RawServer.h"
#include "platform/net/testing/TestServer.h"

namespace wv::net {
namespace {

using testing::RawReply;
using testing::RawServer;
using testing::ScriptedReply;
using testing::TestPKI;
using testing::TestServer;

struct Outcome {
    std::optional<std::string> data;
    std::optional<URLResponse> response;
    std::optional<Error> error;
    int64_t code() const { return error ? error->code : 0; }
};

// Runs one data task and waits for its completion; fails the test on a second completion.
Outcome fetch(URLSession& session, URLRequest request, double wait = 10) {
    auto calls = std::make_shared<std::atomic<int>>(0);
    auto promise = std::make_shared<std::promise<Outcome>>();
    auto task = session.dataTask(std::move(request),
                                 [calls, promise](auto data, auto response, auto error) {
                                     if (++*calls == 1) promise->set_value({data, response, error});
                                 });
    if (!task) return {std::nullopt, std::nullopt, Error{"no task", 0, {}}};
    auto future = promise->get_future();
    task->resume();
    if (future.wait_for(std::chrono::duration<double>(wait)) != std::future_status::ready) {
        ADD_FAILURE() << "no completion within " << wait << " s";
        return {};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(*calls, 1) << "completion called more than once";
    return future.get();
}

Outcome fetch(URLSession& session, const std::string& url, double timeout = 10) {
    return fetch(session, URLRequest(url, timeout), timeout + 10);
}

std::shared_ptr<URLSession> plainSession() {
    return URLSession::create(URLSessionConfiguration::defaultSessionConfiguration());
}

TEST(URLSession, DataTaskReturnsBodyStatusAndHeadersWhateverTheirCase) {
    auto server = TestServer::startHTTP();
    server->script("/hello", {{200, "hi there", {{"x-request-id", "r-1"}}, "application/json"}});
    auto session = plainSession();
    Outcome o = fetch(*session, server->url("/hello"));
    ASSERT_FALSE(o.error) << o.error->description();
    EXPECT_EQ(o.data, "hi there");
    ASSERT_TRUE(o.response);
    EXPECT_EQ(o.response->statusCode, 200);
    EXPECT_EQ(o.response->headers.value("X-Request-Id"), "r-1");
    EXPECT_EQ(o.response->headers.value("content-type"), "application/json");
}

TEST(URLSession, ARedirectIsFollowedUnlessTheRequestSaysNot) {
    struct Case {
        const char* name;
        bool follows;
        int status;
        size_t requests;
    };
    for (const auto& c :
         std::vector<Case>{{"followed", true, 200, 2}, {"not followed", false, 302, 1}}) {
        auto server = TestServer::startHTTP();
        server->script("/from", {{302, "", {{"Location", "/to"}}}});
        server->script("/to", {{200, "arrived"}});
        auto session = plainSession();
        URLRequest request(server->url("/from"));
        request.followsRedirects = c.follows;
        Outcome o = fetch(*session, request);
        ASSERT_FALSE(o.error) << c.name;
        ASSERT_TRUE(o.response) << c.name;
        EXPECT_EQ(o.response->statusCode, c.status) << c.name;
        EXPECT_EQ(server->requestCount(), c.requests) << c.name;
        if (!c.follows) EXPECT_EQ(o.response->headers.value("Location"), "/to") << c.name;
    }
}

TEST(URLSession, AnEmptyBodyIsEmptyDataAndAServerErrorIsNoTransportError) {
    auto server = TestServer::startHTTP();
    server->script("/e", {{204, "", {}, ""}});
    server->script("/fail", {{503, "down"}});
    auto session = plainSession();
    Outcome empty = fetch(*session, server->url("/e"));
    ASSERT_FALSE(empty.error);
    EXPECT_EQ(empty.data, "");
    Outcome fail = fetch(*session, server->url("/fail"));
    ASSERT_FALSE(fail.error);
    EXPECT_EQ(fail.response->statusCode, 503);
}

TEST(URLSession, SendsMethodBodyAndHeadersWithARequestFieldBeatingTheConfiguration) {
    auto server = TestServer::startHTTP();
    server->script("/p", {{201}});
    URLSessionConfiguration config;
    config.HTTPAdditionalHeaders.set("X-Shared", "config");
    config.HTTPAdditionalHeaders.set("X-Only-Config", "c");
    auto session = URLSession::create(config);
    URLRequest request(server->url("/p"));
    request.httpMethod = "PUT";
    request.body = std::string("a\0b", 3);
    request.headers.set("x-shared", "request");
    fetch(*session, request);
    ASSERT_EQ(server->requestCount(), 1u);
    auto r = server->requests()[0];
    EXPECT_EQ(r.method, "PUT");
    EXPECT_EQ(r.body, std::string("a\0b", 3));
    EXPECT_EQ(r.headers.value("X-Shared"), "request");
    EXPECT_EQ(r.headers.value("X-Only-Config"), "c");
    EXPECT_FALSE(r.headers.contains("Expect"));
}

TEST(URLSession, UploadTaskStreamsTheFileAndAMissingFileFailsAtOnce) {
    auto server = TestServer::startHTTP();
    server->script("/up", {{200, "ok"}});
    const std::string path = std::filesystem::temp_directory_path() / "wv-upload-test.bin";
    std::string payload(300000, 'x');
    payload[12345] = '\n';
    std::ofstream(path, std::ios::binary) << payload;
    auto session = plainSession();
    URLRequest request(server->url("/up"));
    request.httpMethod = "POST";
    request.body = "ignored";
    request.headers.set("Content-Type", "application/octet-stream");

    auto promise = std::make_shared<std::promise<Outcome>>();
    auto task = session->uploadTask(request, path, [promise](auto d, auto r, auto e) {
        promise->set_value({d, r, e});
    });
    task->resume();
    Outcome o = promise->get_future().get();
    ASSERT_FALSE(o.error) << o.error->description();
    ASSERT_EQ(o.response->statusCode, 200) << *o.data;
    ASSERT_EQ(server->requestCount(), 1u);
    EXPECT_EQ(server->requests()[0].body, payload);
    EXPECT_EQ(task->kind(), URLSessionTask::Kind::Upload);

    auto missing = std::make_shared<std::promise<Outcome>>();
    session
        ->uploadTask(request, path + ".absent",
                     [missing](auto d, auto r, auto e) {
                         missing->set_value({d, r, e});
                     })
        ->resume();
    EXPECT_EQ(missing->get_future().get().code(), URLError::FileDoesNotExist);
    EXPECT_EQ(server->requestCount(), 1u);
    std::filesystem::remove(path);
}

// Runs one upload task from a file, or a data task with the same body in memory.
Outcome send(URLSession& session, URLRequest request, const std::string& file,
             const std::string& payload) {
    if (file.empty()) {
        request.body = payload;
        return fetch(session, std::move(request));
    }
    auto promise = std::make_shared<std::promise<Outcome>>();
    auto task = session.uploadTask(std::move(request), file, [promise](auto d, auto r, auto e) {
        promise->set_value({d, r, e});
    });
    task->resume();
    auto future = promise->get_future();
    if (future.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "no completion within 10 s";
        return {};
    }
    return future.get();
}

// libcurl sends a body again when a reused connection turns out dead, on a 307 and on an
// authentication retry; it can only do so from a body it can rewind.
TEST(URLSession, ABodyIsSentAgainFromItsStartWhenTheExchangeMustBeRepeated) {
    const std::string path = std::filesystem::temp_directory_path() /
                             ("wv-resend-test-" + std::to_string(getpid()) + ".bin");
    std::string payload(200000, 'b');
    payload[0] = 'A';
    payload[150000] = 'Z';
    std::ofstream(path, std::ios::binary) << payload;

    for (const std::string& file : {path, std::string()}) {
        const std::string what = file.empty() ? "memory body" : "file body";
        {
            // The first exchange leaves the connection kept alive; the server then drops the
            // upload that reuses it, so libcurl must send it again on a new connection.
            RawServer server(
                {{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", RawReply::Then::DropNext},
                 {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n"
                  "\r\ndone"}});
            auto session = plainSession();
            ASSERT_EQ(fetch(*session, server.url("/first")).code(), 0) << what;
            URLRequest request(server.url("/up"));
            request.httpMethod = "POST";
            const Outcome o = send(*session, request, file, payload);
            ASSERT_FALSE(o.error) << what << ": " << o.error->description();
            EXPECT_EQ(o.data, "done") << what;
            const auto heads = server.requests();
            ASSERT_EQ(heads.size(), 3u) << what;
            EXPECT_EQ(heads[1].substr(heads[1].size() - payload.size()), payload) << what;
            EXPECT_EQ(heads[2].rfind("POST /up ", 0), 0u) << what;
        }
        {
            auto server = TestServer::startHTTP();
            server->script("/up", {{307, "", {{"Location", "/moved"}}}});
            server->script("/moved", {{200, "moved"}});
            auto session = plainSession();
            URLRequest request(server->url("/up"));
            request.httpMethod = "POST";
            request.headers.set("Content-Type", "application/octet-stream");
            const Outcome o = send(*session, request, file, payload);
            ASSERT_FALSE(o.error) << what << ": " << o.error->description();
            EXPECT_EQ(o.data, "moved") << what;
            const auto requests = server->requests();
            ASSERT_EQ(requests.size(), 2u) << what;
            EXPECT_EQ(requests[1].path, "/moved") << what;
            EXPECT_EQ(requests[1].method, "POST") << what;
            EXPECT_EQ(requests[1].body, payload) << what;
        }
    }
    std::filesystem::remove(path);
}

TEST(URLSession, DownloadFileHoldsTheBodyUntilTheCompletionReturnsThenIsDeleted) {
    auto server = TestServer::startHTTP();
    std::string body(100000, 'd');
    server->script("/f", {{200, body}});
    auto session = plainSession();
    std::promise<std::pair<std::string, std::string>> seen;
    session
        ->downloadTask(URLRequest(server->url("/f")),
                       [&](auto path, auto, auto error) {
                           ASSERT_FALSE(error);
                           ASSERT_TRUE(path);
                           std::ifstream in(*path, std::ios::binary);
                           std::string content((std::istreambuf_iterator<char>(in)), {});
                           seen.set_value({*path, content});
                       })
        ->resume();
    auto [path, content] = seen.get_future().get();
    EXPECT_EQ(content, body);
    for (int i = 0; i < 100 && std::filesystem::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(std::filesystem::exists(path));
}

// Holds every file this process writes to `bytes` (a write past it fails with EFBIG instead of
// killing the process) and sends downloads' temporary files into a folder of the test's own,
// so that a leftover is seen; both are restored on the way out.
class SmallDisk {
  public:
    explicit SmallDisk(rlim_t bytes) {
        folder_ = std::filesystem::temp_directory_path() /
                  ("wv-small-disk-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        if (const char* t = std::getenv("TMPDIR")) oldTmp_ = t;
        ::setenv("TMPDIR", folder_.c_str(), 1);
        oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit small = old_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~SmallDisk() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldSignal_);
        if (oldTmp_)
            ::setenv("TMPDIR", oldTmp_->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        std::filesystem::remove_all(folder_);
    }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder_))
            names.push_back(e.path().filename());
        return names;
    }

  private:
    std::filesystem::path folder_;
    std::optional<std::string> oldTmp_;
    rlimit old_{};
    void (*oldSignal_)(int) = SIG_DFL;
};

TEST(URLSession, ADownloadOntoAFullDiskFailsOnceAndLeavesNoFile) {
    auto server = TestServer::startHTTP();
    server->script("/big", {{200, std::string(512 * 1024, 'b'), {}, "application/octet-stream"}});
    auto session = plainSession();
    SmallDisk disk(16 * 1024);
    auto calls = std::make_shared<std::atomic<int>>(0);
    auto promise = std::make_shared<std::promise<std::pair<bool, int64_t>>>();
    session
        ->downloadTask(URLRequest(server->url("/big")),
                       [calls, promise](auto path, auto, auto error) {
                           if (++*calls == 1)
                               promise->set_value({path.has_value(), error ? error->code : 0});
                       })
        ->resume();
    auto future = promise->get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const auto [gotPath, code] = future.get();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(*calls, 1);
    EXPECT_FALSE(gotPath);
    EXPECT_EQ(code, URLError::CannotWriteToFile);
    EXPECT_EQ(disk.files(), std::vector<std::string>{});
}

TEST(URLSession, ResumeTwiceSendsOneRequest) {
    auto server = TestServer::startHTTP();
    server->script("/once", {{200}});
    auto session = plainSession();
    std::promise<void> done;
    auto task = session->dataTask(URLRequest(server->url("/once")),
                                  [&](auto, auto, auto) { done.set_value(); });
    EXPECT_EQ(task->state(), URLSessionTask::State::Suspended);
    task->resume();
    task->resume();
    done.get_future().get();
    task->resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(server->requestCount(), 1u);
    EXPECT_EQ(task->state(), URLSessionTask::State::Completed);
}

TEST(URLSession, CancelEndsARunningTaskWithMinus999Once) {
    auto server = TestServer::startHTTP();
    server->script("/slow", {ScriptedReply::stalled(5)});
    auto session = plainSession();
    auto promise = std::make_shared<std::promise<Outcome>>();
    auto calls = std::make_shared<std::atomic<int>>(0);
    auto task = session->dataTask(URLRequest(server->url("/slow")), [=](auto d, auto r, auto e) {
        if (++*calls == 1) promise->set_value({d, r, e});
    });
    task->resume();
    ASSERT_TRUE(server->waitForRequests(1, 5));
    task->cancel();
    task->cancel();
    Outcome o = promise->get_future().get();
    EXPECT_EQ(o.code(), URLError::Cancelled);
    EXPECT_EQ(o.error->domain, kURLErrorDomain);
    EXPECT_FALSE(o.data);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(*calls, 1);
}

TEST(URLSession, InvalidateAndCancelEndsEveryTaskAndRefusesNewOnes) {
    auto server = TestServer::startHTTP();
    server->script("/slow", {ScriptedReply::stalled(5)});
    auto session = plainSession();
    std::vector<std::future<Outcome>> outcomes;
    for (int i = 0; i < 3; ++i) {
        auto promise = std::make_shared<std::promise<Outcome>>();
        outcomes.push_back(promise->get_future());
        auto task =
            session->dataTask(URLRequest(server->url("/slow")), [promise](auto d, auto r, auto e) {
                promise->set_value({d, r, e});
            });
        if (i < 2) task->resume();  // the third is never started
    }
    ASSERT_TRUE(server->waitForRequests(2, 5));
    session->invalidateAndCancel();
    for (auto& f : outcomes) EXPECT_EQ(f.get().code(), URLError::Cancelled);
    EXPECT_TRUE(session->isInvalidated());
    EXPECT_EQ(session->dataTask(URLRequest(server->url("/slow"))), nullptr);
    EXPECT_EQ(session->downloadTask(URLRequest(server->url("/slow"))), nullptr);
}

TEST(URLSession, GetTasksListsUnfinishedTasksByKind) {
    auto server = TestServer::startHTTP();
    server->script("/slow", {ScriptedReply::stalled(5)});
    auto session = plainSession();
    auto data = session->dataTask(URLRequest(server->url("/slow")));
    auto download = session->downloadTask(URLRequest(server->url("/slow")));
    data->resume();
    std::promise<std::array<size_t, 3>> counts;
    session->getTasks([&](auto d, auto u, auto l) {
        counts.set_value({d.size(), u.size(), l.size()});
    });
    EXPECT_EQ(counts.get_future().get(), (std::array<size_t, 3>{1, 0, 1}));
    session->invalidateAndCancel();
}

// A delegate that writes down what it hears.
class RecordingDelegate : public URLSessionDelegate {
  public:
    void didReceiveResponse(const std::shared_ptr<URLSession>&,
                            const std::shared_ptr<URLSessionTask>&, const URLResponse& r) override {
        std::lock_guard lock(mutex);
        events.push_back("response " + std::to_string(r.statusCode));
    }
    void didReceiveData(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&,
                        const std::string& d) override {
        std::lock_guard lock(mutex);
        body += d;
    }
    void didComplete(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&,
                     const std::optional<Error>& e) override {
        {
            std::lock_guard lock(mutex);
            events.push_back("complete " + std::to_string(e ? e->code : 0));
        }
        completed.notify_all();
    }
    void didBecomeInvalid(const std::shared_ptr<URLSession>&,
                          const std::optional<Error>&) override {
        {
            std::lock_guard lock(mutex);
            events.push_back("invalid");
        }
        completed.notify_all();
    }
    bool waitFor(size_t n) {
        std::unique_lock lock(mutex);
        return completed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return events.size() >= n; });
    }
    std::mutex mutex;
    std::condition_variable completed;
    std::vector<std::string> events;
    std::string body;
};

TEST(URLSession, DelegateHearsResponseDataAndCompletionOnlyForTasksWithoutABlock) {
    auto server = TestServer::startHTTP();
    server->script("/d", {{200, "delegate body"}});
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = URLSession::create({}, delegate);
    std::promise<void> blockDone;
    session
        ->dataTask(URLRequest(server->url("/d")), [&](auto, auto, auto) { blockDone.set_value(); })
        ->resume();
    blockDone.get_future().get();
    session->dataTask(URLRequest(server->url("/d")))->resume();
    ASSERT_TRUE(delegate->waitFor(2));
    session->finishTasksAndInvalidate();
    ASSERT_TRUE(delegate->waitFor(3));
    std::lock_guard lock(delegate->mutex);
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"response 200", "complete 0", "invalid"}));
    EXPECT_EQ(delegate->body, "delegate body");
}

bool networkModuleMapped() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("/wovanu-net.so") != std::string::npos) return true;
    return false;
}

// ctest runs every case in a process of its own, where nothing has gone on the network yet.
TEST(URLSession, ASessionNeverGivenATaskLoadsNoTransportYetEndsAsAnyOther) {
    if (networkModuleMapped()) GTEST_SKIP() << "an earlier test of this process went online";
    std::mutex queueMutex;
    std::deque<std::function<void()>> queued;
    auto runQueued = [&] {
        for (;;) {
            std::function<void()> block;
            {
                std::lock_guard lock(queueMutex);
                if (queued.empty()) return;
                block = std::move(queued.front());
                queued.pop_front();
            }
            block();
        }
    };
    for (bool ownQueue : {false, true}) {
        SCOPED_TRACE(ownQueue ? "the caller's delegate queue" : "the session's delegate queue");
        URLSession::Executor executor;
        if (ownQueue)
            executor = [&](std::function<void()> block) {
                std::lock_guard lock(queueMutex);
                queued.push_back(std::move(block));
            };
        auto delegate = std::make_shared<RecordingDelegate>();
        auto session = URLSession::create({}, delegate, executor);
        EXPECT_EQ(session->delegate(), delegate);
        session->finishTasksAndInvalidate();
        session->invalidateAndCancel();  // a second end says nothing more
        EXPECT_TRUE(session->isInvalidated());
        EXPECT_EQ(session->dataTask(URLRequest("http://127.0.0.1:9/")), nullptr);
        std::promise<size_t> listed;
        session->getTasks([&](auto d, auto u, auto l) { listed.set_value(d.size() + u.size() + l.size()); });
        runQueued();
        ASSERT_TRUE(delegate->waitFor(1));
        EXPECT_EQ(listed.get_future().get(), 0u);
        EXPECT_EQ(session->delegate(), nullptr) << "the delegate is let go once the end is told";
        std::lock_guard lock(delegate->mutex);
        EXPECT_EQ(delegate->events, std::vector<std::string>{"invalid"});
    }
    EXPECT_FALSE(networkModuleMapped());
    // The first task is what opens it.
    auto session = plainSession();
    ASSERT_NE(session->dataTask(URLRequest("http://127.0.0.1:9/")), nullptr);
    EXPECT_TRUE(networkModuleMapped());
}

TEST(URLSession, IdleTimeoutEndsAStalledServerButNotASteadyTrickle) {
    auto server = TestServer::startHTTP();
    server->script("/stall", {ScriptedReply::stalled(5)});
    ScriptedReply trickle;
    trickle.body = std::string(16, 't');
    trickle.contentType = "application/octet-stream";
    trickle.chunkSize = 1;
    trickle.chunkInterval = 0.1;  // 1.6 s in all, never 0.6 s silent
    server->script("/trickle", {trickle});
    auto session = plainSession();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fetch(*session, server->url("/stall"), 0.6).code(), URLError::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    Outcome slow = fetch(*session, server->url("/trickle"), 0.6);
    ASSERT_FALSE(slow.error) << slow.error->description();
    EXPECT_EQ(slow.data, trickle.body);
}

TEST(URLSession, TransportFailuresMapToURLErrorCodes) {
    auto session = plainSession();
    // A port that was just free: nothing listens there.
    int closedPort = 0;
    {
        RawServer probe({});
        closedPort = probe.port();
    }
    struct Case {
        std::string name;
        std::vector<RawReply> replies;
        std::string path;
        int64_t expected;
    };
    const std::string endless =
        "HTTP/1.1 200 OK\r\nX-Big: " + std::string(400 * 1024, 'h') + "\r\n\r\n";
    std::string redirect =
        "HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    std::vector<Case> cases = {
        {"reset before a reply",
         {{"", RawReply::Then::Reset}},
         "/",
         URLError::NetworkConnectionLost},
        {"reset mid-body",
         {{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc", RawReply::Then::Reset}},
         "/",
         URLError::NetworkConnectionLost},
        {"lying Content-Length",
         {{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort", RawReply::Then::Close}},
         "/",
         URLError::NetworkConnectionLost},
        {"broken chunking",
         {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n"}},
         "/",
         URLError::NetworkConnectionLost},
        {"endless header", {{endless}}, "/", URLError::CannotParseResponse},
        {"garbage instead of HTTP",
         {{"SSH-2.0-nothing here\r\n\r\n"}},
         "/",
         URLError::BadServerResponse},
        {"redirect loop", {{redirect}}, "/", URLError::HTTPTooManyRedirects},
    };
    for (const auto& c : cases) {
        RawServer server(c.replies);
        EXPECT_EQ(fetch(*session, server.url(c.path)).code(), c.expected) << c.name;
    }
    EXPECT_EQ(fetch(*session, "http://127.0.0.1:" + std::to_string(closedPort) + "/").code(),
              URLError::CannotConnectToHost);
    EXPECT_EQ(fetch(*session, "ftp://127.0.0.1/x").code(), URLError::UnsupportedURL);
    EXPECT_EQ(fetch(*session, "http://exa mple^/").code(), URLError::BadURL);
}

TEST(URLSession, AStalledRawServerTimesOut) {
    RawServer server({{"", RawReply::Then::Hold}});
    auto session = plainSession();
    EXPECT_EQ(fetch(*session, server.url("/"), 0.4).code(), URLError::TimedOut);
}

// Stands root A in for the system's roots while it lives.
class SystemRootsAreRootA {
  public:
    SystemRootsAreRootA() {
        TrustAnchors::setSystemAnchorsForTesting(std::vector{TestPKI::shared().rootA()});
    }
    ~SystemRootsAreRootA() { TrustAnchors::setSystemAnchorsForTesting(std::nullopt); }
};

TEST(URLSession, DefaultTrustAcceptsAChainToASystemRootThatNamesTheHostAndNothingElse) {
    SystemRootsAreRootA roots;
    const auto& pki = TestPKI::shared();
    struct Case {
        std::string name;
        testing::TlsIdentity identity;
        int64_t expected;
    };
    const std::vector<Case> cases = {
        {"leaf of root A", pki.leafA(), 0},
        {"leaf through an intermediate of root A", pki.leafAViaIntermediate(), 0},
        {"leaf of another root", pki.leafB(), URLError::ServerCertificateUntrusted},
        {"another host", pki.wrongHostA(), URLError::ServerCertificateUntrusted},
        {"expired", pki.expiredA(), URLError::ServerCertificateUntrusted},
        {"self-signed", pki.selfSigned(), URLError::ServerCertificateUntrusted},
    };
    auto session = plainSession();
    for (const auto& c : cases) {
        auto server = TestServer::startHTTPS(c.identity);
        server->script("/t", {{200, "secret"}});
        Outcome o = fetch(*session, server->url("/t"));
        EXPECT_EQ(o.code(), c.expected) << c.name;
        if (c.expected == 0) {
            EXPECT_EQ(o.data, "secret") << c.name;
        }
    }
}

class ChallengeDelegate : public URLSessionDelegate {
  public:
    explicit ChallengeDelegate(ChallengeDisposition answer) : answer_(answer) {}
    void didReceiveChallenge(const std::shared_ptr<URLSession>&, const AuthenticationChallenge& c,
                             ChallengeCompletion completion) override {
        {
            std::lock_guard lock(mutex);
            seen.push_back(c);
        }
        completion(answer_, answer_ == ChallengeDisposition::UseCredential && c.serverTrust
                                ? URLCredential::forTrust(c.serverTrust)
                                : nullptr);
    }
    std::mutex mutex;
    std::vector<AuthenticationChallenge> seen;

  private:
    ChallengeDisposition answer_;
};

TEST(URLSession, TheDelegateDecidesEachServerTrustChallenge) {
    SystemRootsAreRootA roots;
    auto server = TestServer::startHTTPS(TestPKI::shared().leafB());
    server->script("/t", {{200, "ok"}});
    struct Case {
        ChallengeDisposition answer;
        int64_t expected;
    };
    for (const Case& c : std::vector<Case>{
             {ChallengeDisposition::UseCredential, 0},
             {ChallengeDisposition::PerformDefaultHandling, URLError::ServerCertificateUntrusted},
             {ChallengeDisposition::CancelAuthenticationChallenge,
              URLError::ServerCertificateUntrusted},
             {ChallengeDisposition::RejectProtectionSpace, URLError::ServerCertificateUntrusted}}) {
        auto delegate = std::make_shared<ChallengeDelegate>(c.answer);
        auto session = URLSession::create({}, delegate);
        EXPECT_EQ(fetch(*session, server->url("/t")).code(), c.expected)
            << static_cast<int>(c.answer);
        std::lock_guard lock(delegate->mutex);
        ASSERT_EQ(delegate->seen.size(), 1u);
        const auto& challenge = delegate->seen[0];
        EXPECT_EQ(challenge.kind, AuthenticationChallenge::Kind::ServerTrust);
        EXPECT_EQ(challenge.host, "127.0.0.1");
        EXPECT_EQ(challenge.port, server->port());
        ASSERT_TRUE(challenge.serverTrust);
        EXPECT_EQ(challenge.serverTrust->leaf().subjectCommonName(), "127.0.0.1");
    }
}

TEST(URLSession, AClientCertificateRequestIsAChallengeOfItsOwnAndCancellingItFailsWith1206) {
    SystemRootsAreRootA roots;
    auto server = TestServer::startHTTPS(TestPKI::shared().leafA(), true);
    server->script("/t", {{200, "ok"}});
    // Server trust goes through default handling; the client certificate is refused.
    class Mixed : public URLSessionDelegate {
      public:
        void didReceiveChallenge(const std::shared_ptr<URLSession>& s,
                                 const AuthenticationChallenge& c,
                                 ChallengeCompletion completion) override {
            kinds.push_back(c.kind);
            if (c.kind == AuthenticationChallenge::Kind::ServerTrust)
                URLSessionDelegate::didReceiveChallenge(s, c, std::move(completion));
            else
                completion(ChallengeDisposition::CancelAuthenticationChallenge, nullptr);
        }
        std::vector<AuthenticationChallenge::Kind> kinds;
    };
    auto mixed = std::make_shared<Mixed>();
    auto session = URLSession::create({}, mixed);
    EXPECT_EQ(fetch(*session, server->url("/t")).code(), URLError::ClientCertificateRequired);
    EXPECT_EQ(mixed->kinds, (std::vector{AuthenticationChallenge::Kind::ServerTrust,
                                         AuthenticationChallenge::Kind::ClientCertificate}));
    // Without a delegate there is no certificate to give, and the server insists.
    auto plain = plainSession();
    EXPECT_EQ(fetch(*plain, server->url("/t")).code(), URLError::ClientCertificateRequired);
}

}  // namespace
}  // namespace wv::net
