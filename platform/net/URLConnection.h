#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "platform/net/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace wv::net {

class URLSession;
class URLConnection;

// Events of one connection, in order, on a thread of the connection's own.
class URLConnectionDelegate {
  public:
    virtual ~URLConnectionDelegate() = default;
    virtual void didReceiveResponse(URLConnection&, const URLResponse&) {}
    virtual void didReceiveData(URLConnection&, const std::string&) {}
    virtual void didFailWithError(URLConnection&, const Error&) {}
    virtual void didFinishLoading(URLConnection&) {}
};

// A single request on a connection of its own: the older connection interface, kept for
// callers written against it. Redirects are followed and the server's chain is checked
// against the system roots with the host name; nothing is shared with other connections.
// After `cancel` the delegate hears nothing more. A started connection keeps itself alive
// until its last event, as the older interface did.
class URLConnection : public std::enable_shared_from_this<URLConnection> {
  public:
    // Not started; the delegate is held until the connection ends.
    static std::shared_ptr<URLConnection> create(URLRequest request,
                                                 std::shared_ptr<URLConnectionDelegate> delegate);
    ~URLConnection();

    const URLRequest& originalRequest() const { return request_; }
    // Starts once; later calls do nothing.
    void start();
    void cancel();

  private:
    class Adapter;
    URLConnection(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate);

    URLRequest request_;
    std::shared_ptr<URLConnectionDelegate> delegate_;
    std::shared_ptr<URLSession> session_;
    std::shared_ptr<URLConnectionDelegate> liveDelegate() const;
    void end();

    mutable std::mutex mutex_;
    std::shared_ptr<class URLSessionTask> task_;
    std::shared_ptr<URLConnection> self_;
    bool started_ = false;
    bool cancelled_ = false;
};

}  // namespace wv::net
