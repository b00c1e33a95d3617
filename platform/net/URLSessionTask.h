#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/net/Error.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace wv::net {

class SessionEngine;

// One exchange of a session. Made suspended; `resume` starts it (once: later calls do
// nothing); `cancel` ends it with the cancelled error (-999). Completion is reported exactly
// once, on the session's delegate queue.
class URLSessionTask : public std::enable_shared_from_this<URLSessionTask> {
  public:
    enum class Kind { Data, Upload, Download };
    enum class State { Running = 0, Suspended = 1, Canceling = 2, Completed = 3 };

    using DataCompletion = std::function<void(const std::optional<std::string>& data,
                                              const std::optional<URLResponse>& response,
                                              const std::optional<Error>& error)>;
    // `path` names a temporary file that is deleted as soon as the block returns.
    using DownloadCompletion = std::function<void(const std::optional<std::string>& path,
                                                  const std::optional<URLResponse>& response,
                                                  const std::optional<Error>& error)>;

    URLSessionTask(std::weak_ptr<SessionEngine> engine, uint64_t identifier, Kind kind,
                   URLRequest request);

    uint64_t taskIdentifier() const { return identifier_; }
    Kind kind() const { return kind_; }
    const URLRequest& originalRequest() const { return request_; }
    std::optional<URLResponse> response() const;
    std::optional<Error> error() const;
    State state() const;
    bool hasCompletionHandler() const { return dataCompletion_ || downloadCompletion_; }

    void resume();
    void cancel();

  private:
    friend class CurlSessionEngine;
    friend class URLSession;

    std::weak_ptr<SessionEngine> engine_;
    const uint64_t identifier_;
    const Kind kind_;
    const URLRequest request_;
    DataCompletion dataCompletion_;
    DownloadCompletion downloadCompletion_;

    mutable std::mutex mutex_;
    State state_ = State::Suspended;
    bool resumed_ = false;
    std::optional<URLResponse> response_;
    std::optional<Error> error_;
};

}  // namespace wv::net
