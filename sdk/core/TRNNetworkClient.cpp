#include "sdk/core/TRNNetworkClient.h"

#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <random>
#include <thread>

#include "platform/dispatch/GlobalQueue.h"
#include "sdk/core/TRNNetworkResponseHandler.h"

namespace wv {

namespace {

std::mutex gRandomMutex;
std::function<double()> gUniformOverride;

double uniform48() {
    std::lock_guard lock(gRandomMutex);
    if (gUniformOverride) return gUniformOverride();
    static unsigned short state[3] = {0, 0, 0};
    static bool seeded = false;
    if (!seeded) {
        std::random_device device;
        const uint64_t seed = (uint64_t{device()} << 32) ^ device();
        state[0] = static_cast<unsigned short>(seed);
        state[1] = static_cast<unsigned short>(seed >> 16);
        state[2] = static_cast<unsigned short>(seed >> 32);
        seeded = true;
    }
    return erand48(state);
}

}  // namespace

// The session's delegate: server trust goes to the pinner when there is one.
class TRNNetworkClient::Delegate final : public QXURLSessionDelegate {
  public:
    explicit Delegate(std::shared_ptr<TRNCertificatePinner> pinner) : pinner_(std::move(pinner)) {}
    void URLSessionDidReceiveChallenge(QXURLSession&, const net::AuthenticationChallenge& challenge,
                                       net::ChallengeCompletion completion) override {
        if (pinner_)
            pinner_->handleChallenge(challenge, completion);
        else
            completion(net::ChallengeDisposition::PerformDefaultHandling, nullptr);
    }

  private:
    std::shared_ptr<TRNCertificatePinner> pinner_;
};

std::shared_ptr<TRNNetworkClient> TRNNetworkClient::create() { return createWithQueue(nullptr); }

std::shared_ptr<TRNNetworkClient> TRNNetworkClient::createWithQueue(Executor queue) {
    return createWithQueue(std::move(queue), std::nullopt);
}

std::shared_ptr<TRNNetworkClient> TRNNetworkClient::createWithQueue(
    Executor queue, std::optional<std::vector<net::Certificate>> pinnedCertificates) {
    return createWithSessionConfiguration(QXURLSessionConfiguration::defaultSessionConfiguration(),
                                          std::move(queue), std::move(pinnedCertificates));
}

std::shared_ptr<TRNNetworkClient> TRNNetworkClient::createWithSessionConfiguration(
    std::shared_ptr<QXURLSessionConfiguration> configuration, Executor queue,
    std::optional<std::vector<net::Certificate>> pinnedCertificates) {
    std::shared_ptr<TRNNetworkClient> client(new TRNNetworkClient());
    if (pinnedCertificates)
        client->pinner_ = std::make_shared<TRNCertificatePinner>(std::move(*pinnedCertificates));
    client->session_ = QXURLSession::sessionWithConfiguration(
        configuration, std::make_shared<Delegate>(client->pinner_), std::move(queue));
    if (!client->session_) return nullptr;
    return client;
}

TRNNetworkClient::~TRNNetworkClient() {
    if (session_) session_->finishTasksAndInvalidate();
}

void TRNNetworkClient::invalidateAndCancel() { session_->invalidateAndCancel(); }

void TRNNetworkClient::setUniformSourceForTesting(std::function<double()> source) {
    std::lock_guard lock(gRandomMutex);
    gUniformOverride = std::move(source);
}

double TRNNetworkClient::randomDoubleWithMin(double min, double max) {
    return min + uniform48() * (max - min);
}

double TRNNetworkClient::generateRandomJitter() {
    return randomDoubleWithMin(static_cast<double>(0.9f), static_cast<double>(1.1f));
}

double TRNNetworkClient::computeDelayForResponse(const std::optional<net::URLResponse>& response,
                                                 uint64_t retryCount) {
    const double retryAfter = TRNNetworkResponseHandler::retryValueForResponse(response);
    const double base = std::max(2.0, retryAfter);
    const double exponent = retryCount == 0 ? 1.0 : static_cast<double>(retryCount);
    const double power =
        std::min(std::pow(base, exponent), std::max(retryAfter, kMaximumRetryDelay));
    return power * generateRandomJitter();
}

void TRNNetworkClient::runAfterRetryValueFromResponse(
    const std::optional<net::URLResponse>& response, uint64_t attempts,
    std::function<void()> block) {
    const double delay = computeDelayForResponse(response, attempts);
    if (scheduler_)
        scheduler_(delay, std::move(block));
    else
        GlobalQueue::shared().asyncAfter(delay, std::move(block));
}

template <class Completion, class MakeTask>
void TRNNetworkClient::retryLoop(const net::URLRequest& request, uint64_t limit, uint64_t tries,
                                 Completion completion, MakeTask makeTask) {
    auto self = shared_from_this();
    auto task = makeTask(request, [self, request, limit, tries, completion, makeTask](
                                      const auto& result, const auto& response, const auto& error) {
        TRNNetworkResponseHandler::handleCompletedResponse(
            response, request, error, [&](bool retry, const std::optional<net::Error>& verdict) {
                if (!retry) {
                    completion(result, response, verdict);
                    return;
                }
                if (tries >= limit) {
                    std::map<std::string, std::any> info;
                    info["retryLimit"] = limit;
                    info[net::kURLErrorFailingURLStringErrorKey] = request.url;
                    completion(std::nullopt, std::nullopt,
                               TRNNetworkResponseHandler::errorForCode(-6, std::move(info)));
                    return;
                }
                self->runAfterRetryValueFromResponse(
                    response, tries, [self, request, limit, tries, completion, makeTask] {
                        self->retryLoop(request, limit, tries + 1, completion, makeTask);
                    });
            });
    });
    if (!task) {
        completion(std::nullopt, std::nullopt, TRNNetworkResponseHandler::errorForCode(-3));
        return;
    }
    task->resume();
}

void TRNNetworkClient::startDataTaskWithRequest(const net::URLRequest& request,
                                                DataCompletion completion) {
    startDataTaskWithRequest(request, kDefaultRetryLimit, std::move(completion));
}

void TRNNetworkClient::startDataTaskWithRequest(const net::URLRequest& request, uint64_t retryLimit,
                                                DataCompletion completion) {
    startDataTaskWithRequest(request, retryLimit, 0, std::move(completion));
}

void TRNNetworkClient::startDataTaskWithRequest(const net::URLRequest& request, uint64_t retryLimit,
                                                uint64_t tries, DataCompletion completion) {
    auto session = session_;
    retryLoop(request, retryLimit, tries, std::move(completion),
              [session](const net::URLRequest& r, DataCompletion done) {
                  return session->dataTaskWithRequest(r, std::move(done));
              });
}

void TRNNetworkClient::startDownloadTaskWithRequest(const net::URLRequest& request,
                                                    DownloadCompletion completion) {
    startDownloadTaskWithRequest(request, kDefaultRetryLimit, std::move(completion));
}

void TRNNetworkClient::startDownloadTaskWithRequest(const net::URLRequest& request,
                                                    uint64_t retryLimit,
                                                    DownloadCompletion completion) {
    startDownloadTaskWithRequest(request, retryLimit, 0, std::move(completion));
}

void TRNNetworkClient::startDownloadTaskWithRequest(const net::URLRequest& request,
                                                    uint64_t retryLimit, uint64_t tries,
                                                    DownloadCompletion completion) {
    auto session = session_;
    retryLoop(request, retryLimit, tries, std::move(completion),
              [session](const net::URLRequest& r, DownloadCompletion done) {
                  return session->downloadTaskWithRequest(r, std::move(done));
              });
}

}  // namespace wv
