#include "platform/cloudkit/ContainerCore.h"

#include <chrono>
#include <limits>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"

namespace wv::ck {

ContainerCore::ContainerCore(CloudConfiguration configuration, CallbackQueue callbackQueue,
                             const void* sender)
    : configuration_(std::move(configuration)),
      callbackQueue_(std::move(callbackQueue)),
      sender_(sender) {
    if (configured()) {
        file_ = std::make_unique<InstallationFile>(configuration_.supportFolder,
                                                   configuration_.account);
        installation_ = file_->identifier();
    }
    worker_ = std::make_unique<SerialQueue>("cloudkit-worker");
}

ContainerCore::~ContainerCore() { shutdown(); }

void ContainerCore::shutdown() {
    std::unique_ptr<SerialQueue> worker;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
        worker = std::move(worker_);
    }
    wake_.notify_all();
    if (poller_.joinable()) poller_.join();
    // A held installation waits inside the backend; let it go so the worker can end.
    if (Backend* backend = opened_.load()) backend->interrupt();
    worker.reset();
}

void ContainerCore::perform(std::function<void(const ServerAccess&)> work) {
    std::lock_guard lock(mutex_);
    if (stopping_ || !worker_) return;
    worker_->async([this, work = std::move(work)] {
        ServerAccess access;
        ensureStarted(access);
        work(access);
    });
}

void ContainerCore::deliver(std::function<void()> block) { callbackQueue_(std::move(block)); }

Error ContainerCore::unavailableError(const ServerAccess& access) {
    if (access.unavailable) return *access.unavailable;
    return Error(ErrorCode::NotAuthenticated, "no account");
}

void ContainerCore::ensureStarted(ServerAccess& access) {
    if (!started_) {
        started_ = true;
        if (configured()) {
            backend_ = configuration_.makeBackend();
            if (!backend_) {
                refused_ = Error(ErrorCode::NotAuthenticated, "no account");
            } else if (auto error = backend_->open()) {
                refused_ = error;
                Log::print("cloud container unavailable: " + error->description());
            } else {
                // News of others' commits brings the next poll forward; the weak pointer
                // keeps a late call from the backend's thread off a container being torn down.
                std::weak_ptr<ContainerCore> weak = weak_from_this();
                backend_->setChangeHandler([weak] {
                    if (auto self = weak.lock()) self->pollSoon();
                });
                std::lock_guard lock(mutex_);
                opened_ = backend_.get();
                if (stopping_) backend_->interrupt();
                if (!stopping_) poller_ = std::thread([this] { pollLoop(); });
            }
        }
    }
    access.caller = {installation_, configuration_.account};
    if (!configured()) {
        access.unavailable = Error(ErrorCode::NotAuthenticated, "no account");
    } else if (refused_) {
        access.unavailable = refused_;
    } else {
        access.backend = backend_.get();
    }
}

AccountStatus ContainerCore::lastAccountStatus() const {
    const int status = status_.load();
    return status < 0 ? AccountStatus::CouldNotDetermine : static_cast<AccountStatus>(status);
}

void ContainerCore::accountStatusLearnt(AccountStatus status) {
    const int before = status_.exchange(static_cast<int>(status));
    if (before < 0 || before == static_cast<int>(status)) return;
    std::weak_ptr<ContainerCore> weak = weak_from_this();
    const void* sender = sender_;
    deliver([weak, sender] {
        if (weak.lock()) {
            NotificationCenter::defaultCenter().post(kAccountChangedNotification, sender);
        }
    });
}

void ContainerCore::setRemoteNotificationHandler(RemoteNotificationHandler handler) {
    const bool on = static_cast<bool>(handler);
    {
        std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
        registered_ = on;
    }
    if (!on || !configured()) return;
    perform([this](const ServerAccess& access) {
        if (!access.backend || registrationSent_) return;
        if (auto error = access.backend->registerForPushes(access.caller)) {
            Log::print("cloud push registration failed: " + error->description());
        } else {
            registrationSent_ = true;
        }
    });
}

void ContainerCore::setKeyValueWatcher(std::function<void(const ServerAccess&)> watcher,
                                       std::function<int64_t()> cursor) {
    std::lock_guard lock(mutex_);
    keyValueWatcher_ = std::move(watcher);
    keyValueCursor_ = std::move(cursor);
}

void ContainerCore::pollSoon() {
    {
        std::lock_guard lock(mutex_);
        pollSoon_ = true;
    }
    wake_.notify_all();
}

void ContainerCore::pollLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, std::chrono::duration<double>(kPollInterval),
                       [this] { return stopping_ || pollSoon_; });
        pollSoon_ = false;
        if (stopping_ || pollQueued_ || !worker_) continue;
        pollQueued_ = true;
        worker_->async([this] {
            ServerAccess access;
            ensureStarted(access);
            pollOnce(access);
            std::lock_guard again(mutex_);
            pollQueued_ = false;
        });
    }
}

void ContainerCore::pollOnce(const ServerAccess& access) {
    if (!access.backend) return;
    std::function<void(const ServerAccess&)> watcher;
    std::function<int64_t()> cursor;
    bool registered;
    {
        std::lock_guard lock(mutex_);
        watcher = keyValueWatcher_;
        cursor = keyValueCursor_;
        registered = registered_;
    }
    if (registered && !registrationSent_ && !access.backend->registerForPushes(access.caller)) {
        registrationSent_ = true;
    }
    const int64_t keyValueCursor = cursor ? cursor() : std::numeric_limits<int64_t>::max();
    const PollResult result = access.backend->poll(access.caller, keyValueCursor);
    if (status_.load() >= 0) accountStatusLearnt(result.account.status);
    if (result.push) {
        std::weak_ptr<ContainerCore> weak = weak_from_this();
        plist::Dictionary userInfo;
        userInfo.set("container", plist::Value(configuration_.containerIdentifier));
        userInfo.set("reason", plist::Value("notifications"));
        deliver([weak, userInfo] {
            auto self = weak.lock();
            if (!self) return;
            RemoteNotificationHandler handler;
            {
                std::lock_guard lock(self->mutex_);
                handler = self->handler_;
            }
            if (handler) handler(userInfo);
        });
    }
    if ((result.keyValuesChanged || keyValuesOwed_) && watcher) watcher(access);
}

}  // namespace wv::ck
