#include "platform/net/testing/TestServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <stdexcept>
#include <utility>

namespace wv::net::testing {

namespace {
// cpp-httplib listens with a backlog of 5: a burst of connections, such as a hundred queued
// uploads, overflows it and the kernel drops handshakes, which a client sees as a connection
// lost. A second listen() on the same socket only changes the backlog; the library keeps no
// handle to it that it shows, so the socket is found by the port it was bound to.
void widenBacklog(int port) {
    for (int fd = 0; fd < 4096; ++fd) {
        int listening = 0;
        socklen_t size = sizeof listening;
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening)
            continue;
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
            address.sin_family == AF_INET && ntohs(address.sin_port) == port)
            ::listen(fd, SOMAXCONN);
    }
}
}  // namespace

TestServer::TestServer(std::unique_ptr<httplib::Server> server, bool https)
    : server_(std::move(server)), https_(https) {
    // Idle keep-alive connections would hold a stop back for as long as this.
    server_->set_keep_alive_timeout(1);
    // Head and body go out in separate writes; Nagle would hold the second for a delayed ACK.
    server_->set_tcp_nodelay(true);
    server_->set_keep_alive_max_count(1000);
    install();
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("the test server could not bind to 127.0.0.1");
    widenBacklog(port_);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::unique_ptr<TestServer> TestServer::startHTTP() {
    return std::unique_ptr<TestServer>(new TestServer(std::make_unique<httplib::Server>(), false));
}

std::unique_ptr<TestServer> TestServer::startHTTPS(const TlsIdentity& identity,
                                                   bool requestClientCertificate) {
    auto server = std::make_unique<httplib::SSLServer>([&](SSL_CTX& ctx) {
        if (SSL_CTX_use_certificate_chain_file(&ctx, identity.chainPath.c_str()) != 1) return false;
        if (SSL_CTX_use_PrivateKey_file(&ctx, identity.keyPath.c_str(), SSL_FILETYPE_PEM) != 1)
            return false;
        if (requestClientCertificate)
            SSL_CTX_set_verify(&ctx, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT,
                               [](int, X509_STORE_CTX*) { return 1; });
        return true;
    });
    if (!server->is_valid()) throw std::runtime_error("the test server's TLS set-up failed");
    return std::unique_ptr<TestServer>(new TestServer(std::move(server), true));
}

TestServer::~TestServer() { stop(); }

void TestServer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (server_) server_->stop();
    if (thread_.joinable()) thread_.join();
}

std::string TestServer::url(const std::string& path) const {
    return std::string(https_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

void TestServer::script(const std::string& path, std::vector<ScriptedReply> replies) {
    std::lock_guard lock(mutex_);
    scripts_[path] = std::move(replies);
    served_[path] = 0;
}

std::vector<RecordedRequest> TestServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

size_t TestServer::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

bool TestServer::waitForRequests(size_t count, double timeoutSeconds) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                             [&] { return requests_.size() >= count; });
}

bool TestServer::pause(double seconds) const {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                              [&] { return stopping_; });
}

ScriptedReply TestServer::nextReply(const std::string& path) {
    std::lock_guard lock(mutex_);
    auto it = scripts_.find(path);
    if (it == scripts_.end() || it->second.empty()) {
        ScriptedReply missing;
        missing.status = 404;
        missing.body = "no script for " + path;
        return missing;
    }
    size_t& n = served_[path];
    const ScriptedReply& reply = it->second[std::min(n, it->second.size() - 1)];
    ++n;
    return reply;
}

namespace {
// Set by the handlers on the server thread that serves the request, so the logger, called on
// that thread once the reply is written, knows whether a handler ever saw it.
thread_local bool handledByScript = false;

RecordedRequest headOf(const httplib::Request& req) {
    RecordedRequest record;
    record.method = req.method;
    record.path = req.path;
    record.target = req.target;
    for (const auto& [name, value] : req.headers) record.headers.add(name, value);
    for (const auto& [name, value] : req.params) record.query.emplace(name, value);
    return record;
}

}  // namespace

void TestServer::install() {
    // cpp-httplib answers some requests itself, before any handler: a multipart body it cannot
    // parse gets 400. Those requests still reached the server and are recorded here.
    server_->set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
        handledByScript = false;
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server_->set_logger([this](const httplib::Request& req, const httplib::Response&) {
        if (std::exchange(handledByScript, false)) return;
        {
            std::lock_guard lock(mutex_);
            RecordedRequest record = headOf(req);
            record.body = req.body;
            requests_.push_back(std::move(record));
        }
        changed_.notify_all();
    });
    auto handler = [this](const httplib::Request& req, httplib::Response& res) {
        handledByScript = true;
        RecordedRequest record = headOf(req);
        record.body = req.body;
        for (const auto& [name, file] : req.files)
            record.parts.push_back({file.name, file.filename, file.content_type, file.content});
        respond(std::move(record), res);
    };
    // Bodies are read here, so that a form's parts keep the order in which they came.
    auto withBody = [this](const httplib::Request& req, httplib::Response& res,
                           const httplib::ContentReader& reader) {
        handledByScript = true;
        RecordedRequest record = headOf(req);
        if (req.is_multipart_form_data()) {
            record.formComplete = reader(
                [&](const httplib::MultipartFormData& file) {
                    record.parts.push_back({file.name, file.filename, file.content_type, {}});
                    return true;
                },
                [&](const char* data, size_t length) {
                    record.parts.back().content.append(data, length);
                    return true;
                });
        } else {
            reader([&](const char* data, size_t length) {
                record.body.append(data, length);
                return true;
            });
        }
        respond(std::move(record), res);
    };
    server_->Get(".*", handler);
    server_->Post(".*", withBody);
    server_->Put(".*", withBody);
    server_->Delete(".*", handler);
    server_->Patch(".*", withBody);
    server_->Options(".*", handler);
}

void TestServer::respond(RecordedRequest record, httplib::Response& res) {
    const ScriptedReply reply = nextReply(record.path);
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(record));
    }
    changed_.notify_all();

    if (reply.delay > 0 && !pause(reply.delay)) return;
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers) res.set_header(name, value);
    if (reply.dropAfter) {
        const std::string body = reply.body;
        const size_t keep = std::min(*reply.dropAfter, body.size());
        res.set_content_provider(
            body.size(), reply.contentType,
            [body, keep](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset >= keep) return false;  // drops the connection
                sink.write(body.data() + offset, std::min(length, keep - offset));
                return true;
            });
    } else if (reply.chunkSize > 0) {
        const std::string body = reply.body;
        const size_t step = reply.chunkSize;
        const double interval = reply.chunkInterval;
        res.set_chunked_content_provider(
            reply.contentType,
            [this, body, step, interval](size_t offset, httplib::DataSink& sink) {
                if (offset >= body.size()) {
                    sink.done();
                    return true;
                }
                if (offset > 0 && !pause(interval)) return false;
                sink.write(body.data() + offset, std::min(step, body.size() - offset));
                return true;
            });
    } else {
        res.body = reply.body;
        if (!reply.contentType.empty() && !res.has_header("Content-Type"))
            res.set_header("Content-Type", reply.contentType);
    }
}

}  // namespace wv::net::testing
