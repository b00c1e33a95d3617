#pragma once

#include <memory>
#include <string>

#include "platform/net/FileOutputStream.h"
#include "sdk/core/QXURLSessionDataTask.h"

namespace wv {

inline constexpr const char* kQXURLSessionDownloadTaskErrorDomain = "QXURLSessionDownloadTaskError";

// A task of the kit's own session that writes the body to a temporary file. The file is
// deleted by `cleanup`: right after the completion block returns, or after the session's
// delegate was told of it; a failed download's partial file goes too.
class QXURLSessionDownloadTask : public QXURLSessionDataTask {
  public:
    QXURLSessionDownloadTask();
    ~QXURLSessionDownloadTask() override;

    void setDownloadCompletionHandler(DownloadCompletion handler) {
        downloadCompletionHandler_ = std::move(handler);
    }
    const std::string& targetPath() const { return target_; }
    // A path in the temporary folder that no other task of this process uses.
    static std::string temporaryFileURL();

    void connectionDidReceiveData(const std::string& data) override;
    void cleanup() override;

  protected:
    void complete() override;

  private:
    void writeDataToStream(const std::string& data);
    void completeForError();

    std::string target_;
    std::unique_ptr<net::FileOutputStream> stream_;
    DownloadCompletion downloadCompletionHandler_;
    bool failed_ = false;
};

}  // namespace wv
