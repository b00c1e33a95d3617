#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "EventFilesFixtures.h"
#include "platform/dispatch/ManualRunLoop.h"
#include "platform/dispatch/testing/Waiting.h"
#include "platform/net/TrustAnchors.h"
#include "platform/net/testing/TestServer.h"
#include "sdk/analytics/PLRNetworkRetryHandler.h"
#include "sdk/analytics/PLRUploader.h"
#include "sdk/core/TRNCertificatePinner.h"
#include "sdk/core/testing/UploadTesting.h"

namespace wv::testing {

using net::testing::TestPKI;
using net::testing::TestServer;

// Stands where the analytics controller will: body files live in one folder, decisions go
// to a retry handler, a finished upload deletes its body.
class RecordingDelegate : public PLRUploaderDelegate {
  public:
    struct Finish {
        std::string name;
        std::optional<net::Error> error;
    };

    explicit RecordingDelegate(std::filesystem::path dir) : dir_(std::move(dir)) {}

    std::string uploaderFilePathForUniqueName(PLRUploader&, const std::string& name) override {
        return (dir_ / (name + ".multipartmime")).string();
    }
    void uploaderDidFinishUploadWithUniqueName(PLRUploader&, const std::string& name,
                                               const std::optional<net::Error>& error) override {
        std::error_code ec;
        std::filesystem::remove(dir_ / (name + ".multipartmime"), ec);
        std::lock_guard lock(mutex_);
        finished_.push_back({name, error});
        changed_.notify_all();
    }
    void uploaderCompletedRequest(PLRUploader&, const net::URLRequest& request,
                                  const std::optional<net::URLResponse>& response,
                                  const std::string& name, const std::optional<net::Error>& error,
                                  RetryDecision decision) override {
        {
            std::lock_guard lock(mutex_);
            ++completed_;
        }
        retry.handleCompletedRequest(request, response, name, error, std::move(decision));
    }
    bool handlesChallenges() const override { return true; }
    void uploaderSessionDidReceiveChallenge(PLRUploader&, QXURLSession& session,
                                            const net::AuthenticationChallenge& challenge,
                                            net::ChallengeCompletion completion) override {
        retry.handleChallenge(challenge, &session, completion);
    }

    std::vector<Finish> finished() const {
        std::lock_guard lock(mutex_);
        return finished_;
    }
    int completed() const {
        std::lock_guard lock(mutex_);
        return completed_;
    }
    bool waitForFinished(size_t count, double seconds = 10) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                                 [&] { return finished_.size() >= count; });
    }

    PLRNetworkRetryHandler retry;

  private:
    std::filesystem::path dir_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Finish> finished_;
    int completed_ = 0;
};

using wv::test::advanceUntil;
using wv::test::eventually;
using wv::test::gunzip;
using wv::test::PinnedRoots;

}  // namespace wv::testing
