#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/net/HTTPHeaders.h"
#include "platform/net/testing/TestPKI.h"

namespace httplib {
class Server;
}

namespace wv::net::testing {

// One reply of the loopback server, as a test scripts it.
struct ScriptedReply {
    ScriptedReply(int status = 200, std::string body = {},
                  std::vector<std::pair<std::string, std::string>> headers = {},
                  std::string contentType = "text/plain")
        : status(status),
          headers(std::move(headers)),
          body(std::move(body)),
          contentType(std::move(contentType)) {}
    // A reply that waits `seconds` before anything is sent.
    static ScriptedReply stalled(double seconds) {
        ScriptedReply r;
        r.delay = seconds;
        return r;
    }

    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string contentType = "text/plain";
    // Seconds to wait before anything of the reply is sent (a stalled server).
    double delay = 0;
    // When set, the body goes out chunked, `chunkSize` bytes every `chunkInterval` seconds.
    // cpp-httplib gzips text and JSON for a client that accepts it, holding every chunk back
    // until the end: a trickle needs a type it leaves alone, such as application/octet-stream.
    size_t chunkSize = 0;
    double chunkInterval = 0;
    // When set, the head announces the whole body but only this many bytes are sent before
    // the connection is dropped (a lying Content-Length, a reply cut mid-body).
    std::optional<size_t> dropAfter;
};

struct RecordedPart {
    std::string name;
    std::string filename;
    std::string contentType;
    std::string content;
};

struct RecordedRequest {
    std::string method;
    std::string path;    // without the query
    std::string target;  // as sent, with the query
    HTTPHeaders headers;
    std::string body;
    std::multimap<std::string, std::string> query;
    std::vector<RecordedPart> parts;  // a multipart/form-data body, as cpp-httplib reads it
};

// An HTTP or HTTPS server on 127.0.0.1 at a port the system picks, for one test. Replies
// are scripted per path: each request takes the next reply of its path's script, and the
// last one repeats; a path without a script gets 404. Every request is recorded. Stopped
// and joined when destroyed; waits inside replies end early when it stops.
class TestServer {
  public:
    static std::unique_ptr<TestServer> startHTTP();
    // With `requestClientCertificate`, the handshake asks the client for a certificate and
    // fails without one.
    static std::unique_ptr<TestServer> startHTTPS(const TlsIdentity& identity,
                                                  bool requestClientCertificate = false);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by the path.
    std::string url(const std::string& path = "/") const;

    void script(const std::string& path, std::vector<ScriptedReply> replies);
    std::vector<RecordedRequest> requests() const;
    size_t requestCount() const;
    // True once `count` requests have arrived, false after `timeoutSeconds` without.
    bool waitForRequests(size_t count, double timeoutSeconds) const;
    void stop();

  private:
    TestServer(std::unique_ptr<httplib::Server> server, bool https);
    void install();
    ScriptedReply nextReply(const std::string& path);
    // Sleeps for `seconds` unless the server stops first; false when it stopped.
    bool pause(double seconds) const;

    std::unique_ptr<httplib::Server> server_;
    bool https_ = false;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    std::map<std::string, std::vector<ScriptedReply>> scripts_;
    std::map<std::string, size_t> served_;
    std::vector<RecordedRequest> requests_;
};

}  // namespace wv::net::testing
