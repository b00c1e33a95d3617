#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/Certificate.h"
#include "platform/net/URLRequest.h"
#include "sdk/core/QXURLSession.h"
#include "sdk/core/TRNCertificatePinner.h"

namespace wv {

// Runs requests on one session whose server-trust challenges go to a certificate pinner,
// retrying what the response handler calls retryable with a randomised exponential delay.
// Every request's completion is called exactly once: with the outcome, with -3 when the
// session gave no task (it was invalidated), or with -6 when the retries ran out.
//
// Pinning holds in debug mode too: the debug flag only makes the kits talk more.
class TRNNetworkClient : public std::enable_shared_from_this<TRNNetworkClient> {
  public:
    using Executor = QXURLSession::Executor;
    using DataCompletion = QXURLSessionTask::DataCompletion;
    using DownloadCompletion = QXURLSessionTask::DownloadCompletion;
    // Runs a block once `seconds` have passed, on a thread of the scheduler's choosing.
    using Scheduler = std::function<void(double seconds, std::function<void()> block)>;

    static constexpr uint64_t kDefaultRetryLimit = 10;
    // A wait never grows past max(Retry-After, this) before its jitter.
    static constexpr double kMaximumRetryDelay = 1024.0;

    static std::shared_ptr<TRNNetworkClient> create();
    static std::shared_ptr<TRNNetworkClient> createWithQueue(Executor queue);
    static std::shared_ptr<TRNNetworkClient> createWithQueue(
        Executor queue, std::optional<std::vector<net::Certificate>> pinnedCertificates);
    // Nothing when no session could be made. A given certificate list, even an empty one,
    // makes a pinner (an empty pinner rejects every server).
    static std::shared_ptr<TRNNetworkClient> createWithSessionConfiguration(
        std::shared_ptr<QXURLSessionConfiguration> configuration, Executor queue,
        std::optional<std::vector<net::Certificate>> pinnedCertificates);
    ~TRNNetworkClient();

    const std::shared_ptr<TRNCertificatePinner>& certPinner() const { return pinner_; }
    const std::shared_ptr<QXURLSession>& session() const { return session_; }

    void startDataTaskWithRequest(const net::URLRequest& request, DataCompletion completion);
    void startDataTaskWithRequest(const net::URLRequest& request, uint64_t retryLimit,
                                  DataCompletion completion);
    void startDataTaskWithRequest(const net::URLRequest& request, uint64_t retryLimit,
                                  uint64_t tries, DataCompletion completion);
    void startDownloadTaskWithRequest(const net::URLRequest& request,
                                      DownloadCompletion completion);
    void startDownloadTaskWithRequest(const net::URLRequest& request, uint64_t retryLimit,
                                      DownloadCompletion completion);
    void startDownloadTaskWithRequest(const net::URLRequest& request, uint64_t retryLimit,
                                      uint64_t tries, DownloadCompletion completion);

    // (max(2, Retry-After))^e × jitter with e = count (1 for a count of 0); the power is
    // capped at max(Retry-After, 1024 s) first, so the default base keeps its 2..1024 s.
    static double computeDelayForResponse(const std::optional<net::URLResponse>& response,
                                          uint64_t retryCount);
    void runAfterRetryValueFromResponse(const std::optional<net::URLResponse>& response,
                                        uint64_t attempts, std::function<void()> block);

    // min + u × (max − min), u uniform in [0, 1) from a 48-bit linear congruential generator
    // seeded once per process.
    static double randomDoubleWithMin(double min, double max);
    // In [0.9, 1.1) with both bounds as single-precision constants.
    static double generateRandomJitter();

    void invalidateAndCancel();

    // Test seams: where delayed retries wait (default: the global queue, timed by the main
    // queue's clock), and the uniform
    // numbers behind the jitter (nullptr restores the generator).
    void setRetrySchedulerForTesting(Scheduler scheduler) { scheduler_ = std::move(scheduler); }
    static void setUniformSourceForTesting(std::function<double()> source);

  private:
    class Delegate;
    TRNNetworkClient() = default;
    template <class Completion, class MakeTask>
    void retryLoop(const net::URLRequest& request, uint64_t limit, uint64_t tries,
                   Completion completion, MakeTask makeTask);

    std::shared_ptr<TRNCertificatePinner> pinner_;
    std::shared_ptr<QXURLSession> session_;
    Scheduler scheduler_;
};

}  // namespace wv
