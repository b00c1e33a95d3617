#include "platform/net/curl/CurlSessionEngine.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "platform/net/curl/CurlErrors.h"
#include "platform/net/curl/X509Certificates.h"

namespace wv::net {

namespace {

double monotonicNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

int sslTransferIndex() {
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

constexpr long kMaxRedirects = 16;
constexpr int kPollMilliseconds = 20;
// Only a fallback: every change of work wakes the poll at once (curl_multi_wakeup).
constexpr int kIdlePollMilliseconds = 3600 * 1000;

}  // namespace

// One running exchange, owned by the worker thread.
struct Transfer {
    std::shared_ptr<URLSessionTask> task;
    CurlSessionEngine* engine = nullptr;
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    std::string url;
    std::string host;
    int port = 0;
    FILE* uploadFile = nullptr;
    FILE* downloadFile = nullptr;
    std::string downloadPath;
    std::string body;
    bool collectBody = true;
    bool followsRedirects = true;
    URLResponse pending;
    bool responseDelivered = false;
    double idleTimeout = 60;
    double resourceDeadline = 0;
    double lastActivity = 0;
    bool cancelled = false;
    bool timedOut = false;
    bool writeFailed = false;
    bool trustRejected = false;
    bool clientCertRequested = false;
    bool clientCertCancelled = false;

    ~Transfer() {
        if (headerList) curl_slist_free_all(headerList);
        if (uploadFile) std::fclose(uploadFile);
        if (downloadFile) std::fclose(downloadFile);
    }
};

namespace {

size_t onHeader(char* buffer, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    t->lastActivity = monotonicNow();
    if (t->clientCertCancelled) return 0;
    std::string line(buffer, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.rfind("HTTP/", 0) == 0) {
        t->pending = URLResponse{};
        const auto space = line.find(' ');
        if (space != std::string::npos) t->pending.statusCode = std::atoi(line.c_str() + space + 1);
        return n;
    }
    if (line.empty()) {
        const int status = t->pending.statusCode;
        const bool interim = status >= 100 && status < 200;
        const bool followed =
            t->followsRedirects &&
            (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) &&
            t->pending.headers.contains("Location");
        if (!interim && !followed && !t->responseDelivered) {
            char* effective = nullptr;
            curl_easy_getinfo(t->easy, CURLINFO_EFFECTIVE_URL, &effective);
            t->pending.url = effective ? effective : t->url;
            t->engine->didReceiveResponse(*t);
        }
        return n;
    }
    const auto colon = line.find(':');
    if (colon == std::string::npos) return n;
    std::string value = line.substr(colon + 1);
    const auto first = value.find_first_not_of(" \t");
    value = first == std::string::npos ? std::string() : value.substr(first);
    t->pending.headers.add(line.substr(0, colon), value);
    return n;
}

size_t onBody(char* buffer, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    t->lastActivity = monotonicNow();
    if (t->clientCertCancelled) return 0;
    if (t->downloadFile) {
        const size_t written = std::fwrite(buffer, 1, n, t->downloadFile);
        if (written != n || std::fflush(t->downloadFile) != 0) {
            t->writeFailed = true;
            return 0;
        }
        return n;
    }
    if (t->collectBody) {
        t->body.append(buffer, n);
    } else {
        t->engine->didReceiveData(*t, std::string(buffer, n));
    }
    return n;
}

size_t onRead(char* buffer, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    t->lastActivity = monotonicNow();
    const size_t n = std::fread(buffer, 1, size * count, t->uploadFile);
    if (n == 0 && std::ferror(t->uploadFile)) return CURL_READFUNC_ABORT;
    return n;
}

// libcurl sends a file body again from its start when a reused connection proves dead, on a
// 307 or 308 and on an authentication retry; without this it fails the transfer instead.
int onSeek(void* user, curl_off_t offset, int origin) {
    auto* t = static_cast<Transfer*>(user);
    if (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END)
        return CURL_SEEKFUNC_CANTSEEK;
    if (::fseeko(t->uploadFile, static_cast<off_t>(offset), origin) != 0) return CURL_SEEKFUNC_FAIL;
    std::clearerr(t->uploadFile);
    return CURL_SEEKFUNC_OK;
}

bool accepted(ChallengeDisposition disposition, const std::shared_ptr<URLCredential>& credential,
              const std::shared_ptr<ServerTrust>& trust) {
    switch (disposition) {
        case ChallengeDisposition::UseCredential:
            return credential && credential->trust == trust;
        case ChallengeDisposition::PerformDefaultHandling: {
            trust->setAnchorCertificates({});
            trust->setAnchorCertificatesOnly(false);
            TrustResult result = TrustResult::Invalid;
            return trust->evaluate(&result) == 0 &&
                   (result == TrustResult::Proceed || result == TrustResult::Unspecified);
        }
        default:
            return false;
    }
}

// Replaces OpenSSL's own chain check: the delegate decides, with the chain the server sent.
int onVerifyChain(X509_STORE_CTX* ctx, void* user) {
    auto* t = static_cast<Transfer*>(user);
    std::vector<Certificate> intermediates;
    if (STACK_OF(X509)* untrusted = X509_STORE_CTX_get0_untrusted(ctx)) {
        for (int i = 0; i < sk_X509_num(untrusted); ++i) {
            X509* c = sk_X509_value(untrusted, i);
            if (c != X509_STORE_CTX_get0_cert(ctx)) intermediates.push_back(certificateOf(c));
        }
    }
    auto trust = std::make_shared<ServerTrust>(certificateOf(X509_STORE_CTX_get0_cert(ctx)),
                                               std::move(intermediates), t->host);
    AuthenticationChallenge challenge{AuthenticationChallenge::Kind::ServerTrust, t->host, t->port,
                                      trust};
    auto [disposition, credential] = t->engine->askDelegate(challenge, t->idleTimeout);
    t->lastActivity = monotonicNow();
    if (accepted(disposition, credential, trust)) {
        X509_STORE_CTX_set_error(ctx, X509_V_OK);
        return 1;
    }
    t->trustRejected = true;
    X509_STORE_CTX_set_error(ctx, X509_V_ERR_CERT_UNTRUSTED);
    return 0;
}

int onClientCertificateRequest(SSL* ssl, X509**, EVP_PKEY**) {
    auto* t = static_cast<Transfer*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), sslTransferIndex()));
    if (!t) return 0;
    t->clientCertRequested = true;
    AuthenticationChallenge challenge{AuthenticationChallenge::Kind::ClientCertificate, t->host,
                                      t->port, nullptr};
    auto [disposition, credential] = t->engine->askDelegate(challenge, t->idleTimeout);
    t->lastActivity = monotonicNow();
    if (disposition == ChallengeDisposition::CancelAuthenticationChallenge ||
        disposition == ChallengeDisposition::RejectProtectionSpace)
        t->clientCertCancelled = true;
    return 0;  // this layer holds no client identity to offer
}

CURLcode onSSLContext(CURL*, void* sslctx, void* user) {
    auto* ctx = static_cast<SSL_CTX*>(sslctx);
    // The callbacks name the transfer that opened the connection; a later transfer may reuse
    // it after that one is gone, so no handshake may run again on it.
    SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_ex_data(ctx, sslTransferIndex(), user);
    SSL_CTX_set_cert_verify_callback(ctx, &onVerifyChain, user);
    SSL_CTX_set_client_cert_cb(ctx, &onClientCertificateRequest);
    return CURLE_OK;
}

std::pair<std::string, int> hostAndPort(CURL* easy, const std::string& url) {
    std::pair<std::string, int> out{"", 0};
    CURLU* u = curl_url();
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
        char* host = nullptr;
        char* port = nullptr;
        if (curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK) out.first = host;
        if (curl_url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK)
            out.second = std::atoi(port);
        curl_free(host);
        curl_free(port);
    }
    curl_url_cleanup(u);
    (void)easy;
    return out;
}

}  // namespace

CurlSessionEngine::CurlSessionEngine(URLSessionConfiguration configuration,
                                     std::shared_ptr<URLSessionDelegate> delegate,
                                     URLSession::Executor executor)
    : configuration_(std::move(configuration)),
      executor_(std::move(executor)),
      delegate_(std::move(delegate)) {
    initCurlOnce();
    multi_ = curl_multi_init();
}

CurlSessionEngine::~CurlSessionEngine() {
    if (multi_) curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

void CurlSessionEngine::start(std::weak_ptr<URLSession> owner) {
    owner_ = std::move(owner);
    auto self = shared_from_this();
    std::thread([self] { self->runWorker(); }).detach();
    if (!executor_) std::thread([self] { self->runDelegateQueue(); }).detach();
}

std::shared_ptr<URLSessionDelegate> CurlSessionEngine::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

uint64_t CurlSessionEngine::nextIdentifier() {
    std::lock_guard lock(mutex_);
    return nextIdentifier_++;
}

bool CurlSessionEngine::registerTask(const std::shared_ptr<URLSessionTask>& task) {
    std::lock_guard lock(mutex_);
    if (invalidated_) return false;
    tasks_[task->taskIdentifier()] = task;
    return true;
}

bool CurlSessionEngine::isInvalidated() const {
    std::lock_guard lock(mutex_);
    return invalidated_;
}

void CurlSessionEngine::wakeWorker() { curl_multi_wakeup(static_cast<CURLM*>(multi_)); }

void CurlSessionEngine::post(std::function<void()> block) {
    if (executor_) {
        executor_(std::move(block));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        delegateBlocks_.push_back(std::move(block));
    }
    queueWake_.notify_one();
}

void CurlSessionEngine::runDelegateQueue() {
    for (;;) {
        std::function<void()> block;
        {
            std::unique_lock lock(mutex_);
            queueWake_.wait(lock, [this] {
                return !delegateBlocks_.empty() || (workerDone_ && tasks_.empty());
            });
            if (delegateBlocks_.empty()) return;
            block = std::move(delegateBlocks_.front());
            delegateBlocks_.pop_front();
        }
        block();
    }
}

void CurlSessionEngine::resume(const std::shared_ptr<URLSessionTask>& task) {
    {
        std::lock_guard lock(mutex_);
        pendingStarts_.push_back(task);
    }
    wakeWorker();
}

void CurlSessionEngine::cancel(const std::shared_ptr<URLSessionTask>& task) {
    bool neverStarted = false;
    {
        std::lock_guard taskLock(task->mutex_);
        if (task->state_ == URLSessionTask::State::Completed ||
            task->state_ == URLSessionTask::State::Canceling)
            return;
        neverStarted = !task->resumed_;
        task->resumed_ = true;
        task->state_ =
            neverStarted ? URLSessionTask::State::Completed : URLSessionTask::State::Canceling;
    }
    if (neverStarted) {
        completeTask(task, std::nullopt, std::nullopt, std::nullopt,
                     makeURLError(URLError::Cancelled, task->originalRequest().url, "cancelled"));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        pendingCancels_.push_back(task->taskIdentifier());
    }
    wakeWorker();
}

void CurlSessionEngine::invalidate(bool cancelRunning) {
    std::vector<std::shared_ptr<URLSessionTask>> toCancel;
    bool empty = false;
    {
        std::lock_guard lock(mutex_);
        invalidated_ = true;
        for (auto& [id, task] : tasks_) {
            std::lock_guard taskLock(task->mutex_);
            if (cancelRunning || !task->resumed_) toCancel.push_back(task);
        }
        empty = tasks_.empty();
    }
    for (auto& task : toCancel) cancel(task);
    if (empty) taskDidComplete(0);
}

void CurlSessionEngine::ownerGone() {
    invalidate(false);
    {
        std::lock_guard lock(mutex_);
        ownerGone_ = true;
    }
    wakeWorker();
    queueWake_.notify_all();
}

void CurlSessionEngine::getTasks(URLSession::TasksCallback callback) {
    std::vector<std::shared_ptr<URLSessionTask>> data, upload, download;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, task] : tasks_) {
            if (task->state() == URLSessionTask::State::Completed) continue;
            switch (task->kind()) {
                case URLSessionTask::Kind::Data:
                    data.push_back(task);
                    break;
                case URLSessionTask::Kind::Upload:
                    upload.push_back(task);
                    break;
                case URLSessionTask::Kind::Download:
                    download.push_back(task);
                    break;
            }
        }
    }
    post([callback = std::move(callback), data, upload, download] {
        callback(data, upload, download);
    });
}

std::pair<ChallengeDisposition, std::shared_ptr<URLCredential>> CurlSessionEngine::askDelegate(
    const AuthenticationChallenge& challenge, double timeout) {
    auto delegate = this->delegate();
    auto session = owner_.lock();
    if (!delegate || !session) return {ChallengeDisposition::PerformDefaultHandling, nullptr};
    struct Reply {
        std::mutex mutex;
        std::condition_variable done;
        bool answered = false;
        ChallengeDisposition disposition = ChallengeDisposition::CancelAuthenticationChallenge;
        std::shared_ptr<URLCredential> credential;
    };
    auto reply = std::make_shared<Reply>();
    post([delegate, session, challenge, reply] {
        delegate->didReceiveChallenge(
            session, challenge, [reply](ChallengeDisposition d, std::shared_ptr<URLCredential> c) {
                std::lock_guard lock(reply->mutex);
                if (reply->answered) return;
                reply->answered = true;
                reply->disposition = d;
                reply->credential = std::move(c);
                reply->done.notify_all();
            });
    });
    std::unique_lock lock(reply->mutex);
    reply->done.wait_for(lock, std::chrono::duration<double>(timeout > 0 ? timeout : 60),
                         [&] { return reply->answered; });
    // An unanswered challenge is a refused one; a late answer is ignored.
    reply->answered = true;
    return {reply->disposition, reply->credential};
}

void CurlSessionEngine::didReceiveResponse(Transfer& t) {
    t.responseDelivered = true;
    {
        std::lock_guard lock(t.task->mutex_);
        t.task->response_ = t.pending;
    }
    if (t.task->hasCompletionHandler()) return;
    auto delegate = this->delegate();
    auto session = owner_.lock();
    if (!delegate || !session) return;
    post([delegate, session, task = t.task, response = t.pending] {
        delegate->didReceiveResponse(session, task, response);
    });
}

void CurlSessionEngine::didReceiveData(Transfer& t, std::string chunk) {
    auto delegate = this->delegate();
    auto session = owner_.lock();
    if (!delegate || !session) return;
    post([delegate, session, task = t.task, chunk = std::move(chunk)] {
        delegate->didReceiveData(session, task, chunk);
    });
}

void CurlSessionEngine::addTransfer(const std::shared_ptr<URLSessionTask>& task) {
    const URLRequest& request = task->originalRequest();
    auto fail = [&](int64_t code, const std::string& why) {
        {
            std::lock_guard lock(task->mutex_);
            task->state_ = URLSessionTask::State::Completed;
        }
        completeTask(task, std::nullopt, std::nullopt, std::nullopt,
                     makeURLError(code, request.url, why));
    };
    auto t = std::make_unique<Transfer>();
    t->task = task;
    t->engine = this;
    t->url = request.url;
    t->followsRedirects = request.followsRedirects;
    t->collectBody = task->hasCompletionHandler() || task->kind() == URLSessionTask::Kind::Download;
    const double now = monotonicNow();
    t->idleTimeout = request.timeoutInterval > 0 ? request.timeoutInterval
                                                 : configuration_.timeoutIntervalForRequest;
    t->lastActivity = now;
    t->resourceDeadline = now + configuration_.timeoutIntervalForResource;

    if (!request.bodyFile.empty()) {
        struct stat st {};
        if (::stat(request.bodyFile.c_str(), &st) != 0)
            return fail(URLError::FileDoesNotExist, "no file to upload: " + request.bodyFile);
        if (S_ISDIR(st.st_mode))
            return fail(URLError::FileIsDirectory,
                        "a folder cannot be uploaded: " + request.bodyFile);
        t->uploadFile = std::fopen(request.bodyFile.c_str(), "rb");
        if (!t->uploadFile)
            return fail(URLError::NoPermissionsToReadFile, "cannot read " + request.bodyFile);
    }
    if (task->kind() == URLSessionTask::Kind::Download) {
        std::error_code ec;
        std::string pattern = (std::filesystem::temp_directory_path(ec) / "wv-download-XXXXXX");
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) return fail(URLError::CannotCreateFile, "cannot create a download file");
        t->downloadFile = ::fdopen(fd, "wb");
        t->downloadPath = pattern;
        if (!t->downloadFile) {
            ::close(fd);
            std::filesystem::remove(pattern, ec);
            return fail(URLError::CannotCreateFile, "cannot open the download file");
        }
    }

    CURL* e = curl_easy_init();
    t->easy = e;
    std::tie(t->host, t->port) = hostAndPort(e, request.url);
    curl_easy_setopt(e, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(e, CURLOPT_PRIVATE, t.get());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, request.followsRedirects ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, t.get());
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
    // Trust is decided by the challenge, never by a CA bundle libcurl would load.
    curl_easy_setopt(e, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &onSSLContext);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_DATA, t.get());
    // A resumed TLS session would skip the chain check, so every connection shows its chain.
    curl_easy_setopt(e, CURLOPT_SSL_SESSIONID_CACHE, 0L);

    const std::string& method =
        request.httpMethod.empty() ? std::string("GET") : request.httpMethod;
    const bool hasBody = t->uploadFile || !request.body.empty();
    if (method == "HEAD") {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else if (!hasBody && method == "GET") {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else if (hasBody) {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        if (t->uploadFile) {
            std::error_code ec;
            const auto size = std::filesystem::file_size(request.bodyFile, ec);
            curl_easy_setopt(e, CURLOPT_READFUNCTION, &onRead);
            curl_easy_setopt(e, CURLOPT_READDATA, t.get());
            curl_easy_setopt(e, CURLOPT_SEEKFUNCTION, &onSeek);
            curl_easy_setopt(e, CURLOPT_SEEKDATA, t.get());
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(ec ? 0 : size));
        } else {
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(request.body.size()));
            curl_easy_setopt(e, CURLOPT_POSTFIELDS, request.body.data());
        }
        if (method != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    for (const auto& [name, value] : request.headers.fields()) {
        // "Name;" is libcurl's way to send a field with an empty value.
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        t->headerList = curl_slist_append(t->headerList, line.c_str());
    }
    // No "Expect: 100-continue": a server that never answers it would stall every upload.
    t->headerList = curl_slist_append(t->headerList, "Expect:");
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t->headerList);

    curl_multi_add_handle(static_cast<CURLM*>(multi_), e);
    transfers_[task->taskIdentifier()] = std::move(t);
}

void CurlSessionEngine::finishTransfer(Transfer* t, int curlCode) {
    auto owned = std::move(transfers_[t->task->taskIdentifier()]);
    transfers_.erase(t->task->taskIdentifier());
    curl_multi_remove_handle(static_cast<CURLM*>(multi_), t->easy);
    curl_easy_cleanup(t->easy);
    t->easy = nullptr;
    if (t->downloadFile) {
        if (std::fclose(t->downloadFile) != 0) t->writeFailed = true;
        t->downloadFile = nullptr;
    }

    std::optional<Error> error;
    const std::string& url = t->url;
    if (t->cancelled) {
        error = makeURLError(URLError::Cancelled, url, "cancelled");
    } else if (t->timedOut) {
        error = makeURLError(URLError::TimedOut, url, "the request timed out");
    } else if (t->clientCertCancelled) {
        error = makeURLError(URLError::ClientCertificateRequired, url,
                             "the server asked for a client certificate");
    } else if (t->trustRejected) {
        error = makeURLError(URLError::ServerCertificateUntrusted, url,
                             "the server's certificate is not trusted");
    } else if (t->writeFailed) {
        error = makeURLError(URLError::CannotWriteToFile, url, "cannot write the download file");
    } else if (curlCode != CURLE_OK) {
        int64_t code = urlErrorCodeForCurlCode(curlCode);
        // For an http(s) URL, libcurl's "unsupported protocol" means the reply was not HTTP.
        if (code == URLError::UnsupportedURL &&
            (url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0))
            code = URLError::BadServerResponse;
        // Without a certificate to offer, a server that insists ends the handshake.
        if (t->clientCertRequested &&
            (code == URLError::NetworkConnectionLost || code == URLError::SecureConnectionFailed))
            code = URLError::ClientCertificateRequired;
        error = makeURLError(code, url, curl_easy_strerror(static_cast<CURLcode>(curlCode)));
    }

    std::optional<URLResponse> response;
    {
        std::lock_guard lock(t->task->mutex_);
        t->task->state_ = URLSessionTask::State::Completed;
        t->task->error_ = error;
        response = t->task->response_;
    }
    std::optional<std::string> data;
    std::optional<std::string> path;
    if (!error) {
        if (t->task->kind() == URLSessionTask::Kind::Download)
            path = t->downloadPath;
        else
            data = std::move(t->body);
    } else if (!t->downloadPath.empty()) {
        std::error_code ec;
        std::filesystem::remove(t->downloadPath, ec);
    }
    completeTask(t->task, std::move(data), std::move(path), std::move(response), error);
}

void CurlSessionEngine::completeTask(const std::shared_ptr<URLSessionTask>& task,
                                     std::optional<std::string> data,
                                     std::optional<std::string> path,
                                     std::optional<URLResponse> response,
                                     std::optional<Error> error) {
    {
        std::lock_guard lock(task->mutex_);
        task->state_ = URLSessionTask::State::Completed;
        task->error_ = error;
    }
    auto self = shared_from_this();
    auto delegate = this->delegate();
    auto session = owner_.lock();
    post([self, delegate, session, task, data = std::move(data), path = std::move(path),
          response = std::move(response), error = std::move(error)] {
        if (task->dataCompletion_) {
            task->dataCompletion_(data, response, error);
        } else if (task->downloadCompletion_) {
            task->downloadCompletion_(path, response, error);
        } else if (delegate && session) {
            if (path && !error) delegate->didFinishDownloading(session, task, *path);
        }
        if (path) {
            std::error_code ec;
            std::filesystem::remove(*path, ec);
        }
        if (!task->hasCompletionHandler() && delegate && session)
            delegate->didComplete(session, task, error);
        // Blocks of a finished task may hold what its owner must not outlive.
        task->dataCompletion_ = nullptr;
        task->downloadCompletion_ = nullptr;
        self->taskDidComplete(task->taskIdentifier());
    });
}

void CurlSessionEngine::taskDidComplete(uint64_t identifier) {
    std::shared_ptr<URLSessionDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        tasks_.erase(identifier);
        if (!invalidated_ || !tasks_.empty() || invalidNotified_) {
            queueWake_.notify_all();
            return;
        }
        invalidNotified_ = true;
        delegate = std::move(delegate_);
    }
    queueWake_.notify_all();
    auto session = owner_.lock();
    if (delegate && session)
        post([delegate, session] { delegate->didBecomeInvalid(session, std::nullopt); });
}

void CurlSessionEngine::runWorker() {
    auto* multi = static_cast<CURLM*>(multi_);
    for (;;) {
        std::vector<std::shared_ptr<URLSessionTask>> starts;
        std::vector<uint64_t> cancels;
        bool stop = false;
        {
            std::lock_guard lock(mutex_);
            starts.swap(pendingStarts_);
            cancels.swap(pendingCancels_);
            stop = ownerGone_ && transfers_.empty() && starts.empty();
            if (stop) workerDone_ = true;
        }
        if (stop) break;
        for (auto& task : starts) {
            if (task->state() == URLSessionTask::State::Canceling) {
                completeTask(
                    task, std::nullopt, std::nullopt, std::nullopt,
                    makeURLError(URLError::Cancelled, task->originalRequest().url, "cancelled"));
            } else if (task->state() == URLSessionTask::State::Suspended) {
                {
                    std::lock_guard lock(task->mutex_);
                    task->state_ = URLSessionTask::State::Running;
                }
                addTransfer(task);
            }
        }
        for (uint64_t id : cancels) {
            auto it = transfers_.find(id);
            if (it != transfers_.end()) {
                it->second->cancelled = true;
                finishTransfer(it->second.get(), CURLE_ABORTED_BY_CALLBACK);
            }
        }

        int running = 0;
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg != CURLMSG_DONE) continue;
            Transfer* t = nullptr;
            curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &t);
            if (t) finishTransfer(t, msg->data.result);
        }
        const double now = monotonicNow();
        std::vector<Transfer*> expired;
        for (auto& [id, t] : transfers_) {
            if (now - t->lastActivity > t->idleTimeout || now > t->resourceDeadline)
                expired.push_back(t.get());
        }
        for (Transfer* t : expired) {
            t->timedOut = true;
            finishTransfer(t, CURLE_OPERATION_TIMEDOUT);
        }
        // With nothing in flight there are no timeouts to watch: sleep until a start, a cancel or
        // the owner's end wakes the poll, so an idle session costs no wake-ups.
        bool idle = false;
        {
            std::lock_guard lock(mutex_);
            idle = transfers_.empty() && pendingStarts_.empty() && pendingCancels_.empty() &&
                   !ownerGone_;
        }
        curl_multi_poll(multi, nullptr, 0, idle ? kIdlePollMilliseconds : kPollMilliseconds,
                        nullptr);
    }
    queueWake_.notify_all();
}

}  // namespace wv::net
