#pragma once

#include <atomic>
#include <functional>
#include <mutex>

namespace wv {

// Makes a block run once per token across all threads; callers that arrive while it runs wait
// for it; a block that calls its own token again deadlocks. A block that throws counts as not run:
// the next caller runs it again.
class OnceToken {
public:
    OnceToken() = default;
    OnceToken(const OnceToken&) = delete;
    OnceToken& operator=(const OnceToken&) = delete;

    void call(const std::function<void()>& block);

private:
    // Not std::once_flag: the C++ library shipped here leaves a flag whose block threw unusable.
    std::atomic<bool> done_{false};
    std::mutex mutex_;
};

inline void callOnce(OnceToken& token, const std::function<void()>& block) { token.call(block); }

}  // namespace wv
