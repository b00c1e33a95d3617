#include "platform/net/testing/RawServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace wv::net::testing {

RawServer::RawServer(std::vector<RawReply> replies) : replies_(std::move(replies)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("the raw test server could not listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { acceptLoop(); });
}

RawServer::~RawServer() { stop(); }

std::string RawServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> RawServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void RawServer::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
    }
    stopped_.notify_all();
    if (thread_.joinable()) thread_.join();
    for (auto& t : connections_) t.join();
    if (listenFd_ >= 0) ::close(listenFd_);
}

void RawServer::acceptLoop() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        RawReply reply;
        {
            std::lock_guard lock(mutex_);
            reply =
                replies_.empty() ? RawReply{} : replies_[std::min(served_, replies_.size() - 1)];
            ++served_;
        }
        connections_.emplace_back([this, fd, reply] { serve(fd, reply); });
    }
}

void RawServer::serve(int fd, RawReply reply) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 1 << 20) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        head.append(buffer, static_cast<size_t>(n));
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(head);
    }
    size_t sent = 0;
    while (sent < reply.bytes.size()) {
        const ssize_t n =
            ::send(fd, reply.bytes.data() + sent, reply.bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    if (reply.then == RawReply::Then::DropNext) {
        // The whole request is read before closing: unread bytes would turn the close into a
        // reset, and the client must see a plain end of the connection with no reply.
        std::string next;
        size_t wanted = std::string::npos;
        while (next.size() < wanted) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) break;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            next.append(buffer, static_cast<size_t>(n));
            const auto end = next.find("\r\n\r\n");
            if (wanted == std::string::npos && end != std::string::npos) {
                size_t length = 0;
                std::string lower = next.substr(0, end);
                for (auto& c : lower) c = static_cast<char>(std::tolower(c));
                const auto field = lower.find("\r\ncontent-length:");
                if (field != std::string::npos)
                    length = std::strtoul(lower.c_str() + field + 17, nullptr, 10);
                wanted = end + 4 + length;
            }
        }
        std::lock_guard lock(mutex_);
        requests_.push_back(next);
    } else if (reply.then == RawReply::Then::Hold) {
        std::unique_lock lock(mutex_);
        stopped_.wait(lock, [this] { return stopping_; });
    } else if (reply.then == RawReply::Then::Reset) {
        linger l{1, 0};  // a zero linger turns close into a reset
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    ::close(fd);
}

}  // namespace wv::net::testing
