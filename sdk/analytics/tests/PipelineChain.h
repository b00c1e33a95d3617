#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/dispatch/OperationQueue.h"
#include "sdk/analytics/PLRCleanupFilesOperation.h"
#include "sdk/analytics/PLRCompressLogOperation.h"
#include "sdk/analytics/PLRPackageLogOperation.h"
#include "sdk/analytics/PLRUploadOperation.h"
#include "sdk/analytics/PLRUploader.h"

namespace wv::testing {

// Chains the stages on the event queue the way the analytics controller does: each file
// enters at its own stage and every operation depends on the one before.
class PipelineChain {
  public:
    PipelineChain(std::shared_ptr<OperationQueue> queue, std::shared_ptr<PLRUploader> uploader,
                  std::string url)
        : queue_(std::move(queue)), uploader_(std::move(uploader)), url_(std::move(url)) {}

    void fromLog(const std::filesystem::path& log) {
        const auto gz = PLRCompressLogOperation::compressedURLForUncompressedURL(log);
        auto compress = std::make_shared<PLRCompressLogOperation>(log, gz);
        auto package = packageOperation(gz);
        package->addDependency(compress);
        auto upload = uploadOperation(package->packagedLogURL());
        upload->addDependency(package);
        queue_->addOperation(compress);
        queue_->addOperation(package);
        queue_->addOperation(upload);
    }
    void fromCompressed(const std::filesystem::path& gz) {
        auto package = packageOperation(gz);
        auto upload = uploadOperation(package->packagedLogURL());
        upload->addDependency(package);
        queue_->addOperation(package);
        queue_->addOperation(upload);
    }
    void fromBody(const std::filesystem::path& body) {
        queue_->addOperation(uploadOperation(body));
    }

    // Cleans the folder up and resumes every file left in it.
    void resume(const std::filesystem::path& dir, int64_t maximumBodies = 100) {
        auto cleanup = std::make_shared<PLRCleanupFilesOperation>(dir, maximumBodies);
        cleanup->setSuccessBlock(
            [this](const auto& logs, const auto& compressed, const auto& bodies) {
                for (const auto& p : logs) fromLog(p);
                for (const auto& p : compressed) fromCompressed(p);
                for (const auto& p : bodies) fromBody(p);
            });
        queue_->addOperation(cleanup);
    }

  private:
    std::shared_ptr<PLRPackageLogOperation> packageOperation(const std::filesystem::path& gz) {
        const auto boundary = PLRPackageLogOperation::boundaryForCompressedURL(gz);
        return std::make_shared<PLRPackageLogOperation>(
            gz, PLRPackageLogOperation::multipartURLForCompressedURL(gz, boundary), boundary);
    }
    std::shared_ptr<PLRUploadOperation> uploadOperation(const std::filesystem::path& body) {
        return std::make_shared<PLRUploadOperation>(uploader_, url_, "KEY-123", body,
                                                    body.stem().string());
    }

    std::shared_ptr<OperationQueue> queue_;
    std::shared_ptr<PLRUploader> uploader_;
    std::string url_;
};

}  // namespace wv::testing
