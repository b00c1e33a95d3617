#include "sdk/core/QXURLSessionDownloadTask.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "sdk/core/QXURLSession.h"

namespace wv {

std::string QXURLSessionDownloadTask::temporaryFileURL() {
    static std::atomic<uint64_t> counter{0};
    std::error_code ec;
    const auto dir = std::filesystem::temp_directory_path(ec);
    return (dir / ("qx-download-" + std::to_string(::getpid()) + "-" +
                   std::to_string(counter.fetch_add(1))))
        .string();
}

QXURLSessionDownloadTask::QXURLSessionDownloadTask() : target_(temporaryFileURL()) {}

QXURLSessionDownloadTask::~QXURLSessionDownloadTask() {
    if (stream_) stream_->close();
}

void QXURLSessionDownloadTask::connectionDidReceiveData(const std::string& data) {
    if (failed_) return;
    writeDataToStream(data);
}

void QXURLSessionDownloadTask::writeDataToStream(const std::string& data) {
    if (!stream_) stream_ = std::make_unique<net::FileOutputStream>(target_);
    if (!stream_->isOpen() && !stream_->open()) {
        completeForError();
        return;
    }
    const long n = stream_->write(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    if (n < 0 || stream_->hadError()) completeForError();
}

void QXURLSessionDownloadTask::completeForError() {
    failed_ = true;
    if (stream_) stream_->close();
    cancelConnection();
    {
        std::lock_guard lock(mutex_);
        if (!error_) error_ = net::Error{kQXURLSessionDownloadTaskErrorDomain, -1, {}};
    }
    complete();
}

void QXURLSessionDownloadTask::complete() {
    if (stream_) stream_->close();
    std::optional<net::URLResponse> response;
    std::optional<net::Error> error;
    {
        std::lock_guard lock(mutex_);
        response = response_;
        error = error_;
    }
    if (downloadCompletionHandler_) {
        downloadCompletionHandler_(target_, response, error);
        downloadCompletionHandler_ = nullptr;
    }
    auto session = delegate();
    if (!error && session)
        session->downloadTaskDidFinishDownloadingToURL(*this, target_);
    else
        cleanup();
    if (session) session->taskDidCompleteWithError(*this, error);
}

void QXURLSessionDownloadTask::cleanup() {
    std::error_code ec;
    std::filesystem::remove(target_, ec);
}

}  // namespace wv
