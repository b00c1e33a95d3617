#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/net/URLConnection.h"
#include "sdk/core/QXURLSessionTask.h"

namespace wv {

// A task of the kit's own session: one request on a one-request connection. The
// connection's events arrive one after another on its own thread, so the task handles them
// in order there. `resume` opens the connection once; `cancel` stops it at once, after which
// the task hears nothing more (and reports nothing).
class QXURLSessionDataTask : public QXURLSessionTask {
  public:
    ~QXURLSessionDataTask() override;
    void resume() override;
    void cancel() override;

    void setCompletionHandler(DataCompletion handler) { completionHandler_ = std::move(handler); }
    std::string taskDescription;

    // The connection's events.
    virtual void connectionDidReceiveResponse(const net::URLResponse& response);
    virtual void connectionDidReceiveData(const std::string& data);
    void connectionDidFail(const net::Error& error);
    void connectionDidFinishLoading();

  protected:
    virtual void complete();
    void cancelConnection();
    std::optional<std::string> body_;

  private:
    class ConnectionDelegate;
    std::shared_ptr<net::URLConnection> connection_;
    DataCompletion completionHandler_;
};

}  // namespace wv
