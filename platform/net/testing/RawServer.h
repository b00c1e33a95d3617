#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wv::net::testing {

// What a raw server does with one connection once the request head has arrived.
struct RawReply {
    // DropNext keeps the connection open after the reply, takes the whole next request on it
    // and closes without answering: a kept-alive connection the server gave up on.
    enum class Then { Close, Reset, Hold, DropNext };
    std::string bytes;        // written as they stand: any status line, headers and body
    Then then = Then::Close;  // close, reset (RST), silent until stop, or drop the next request
};

// A TCP server on 127.0.0.1 at a port the system picks that answers with exactly the bytes
// it is given: the replies an HTTP library would refuse to make (broken chunking, endless
// headers, a reset). Connections take the scripted replies in order, the last repeating.
class RawServer {
  public:
    explicit RawServer(std::vector<RawReply> replies);
    ~RawServer();
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path = "/") const;
    // The requests received, in order: each head, and with DropNext the dropped request whole.
    std::vector<std::string> requests() const;
    void stop();

  private:
    void acceptLoop();
    void serve(int fd, RawReply reply);

    int listenFd_ = -1;
    int port_ = 0;
    std::vector<RawReply> replies_;
    std::thread thread_;
    std::vector<std::thread> connections_;
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    size_t served_ = 0;
    std::vector<std::string> requests_;
};

}  // namespace wv::net::testing
