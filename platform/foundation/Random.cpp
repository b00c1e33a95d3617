#include "platform/foundation/Random.h"

#include <stdlib.h>
#include <sys/random.h>

#include <cerrno>

#include <mutex>
#include <stdexcept>
#include <string>

namespace wv {

namespace {

std::mutex& sharedMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<RandomSource>& sharedSlot() {
    static std::shared_ptr<RandomSource> slot = std::make_shared<SystemRandom>();
    return slot;
}

}  // namespace

RandomSource& RandomSource::shared() {
    std::lock_guard lock(sharedMutex());
    return *sharedSlot();
}

std::shared_ptr<RandomSource> RandomSource::setShared(std::shared_ptr<RandomSource> source) {
    std::lock_guard lock(sharedMutex());
    auto previous = std::move(sharedSlot());
    sharedSlot() = source ? std::move(source) : std::make_shared<SystemRandom>();
    return previous;
}

uint32_t randomUniform(uint32_t upperBound) { return RandomSource::shared().uniform(upperBound); }

uint32_t SystemRandom::next() {
    if (used_ == buffer_.size()) {
        auto* bytes = reinterpret_cast<char*>(buffer_.data());
        size_t filled = 0;
        while (filled < sizeof(buffer_)) {
            const ssize_t n = getrandom(bytes + filled, sizeof(buffer_) - filled, 0);
            if (n > 0) {
                filled += size_t(n);
            } else if (errno != EINTR) {
                // No entropy source at all: fall back to the C library's generator.
                for (auto& word : buffer_) word = arc4random();
                break;
            }
        }
        used_ = 0;
    }
    return buffer_[used_++];
}

uint32_t SystemRandom::uniform(uint32_t upperBound) {
    if (upperBound < 2) return 0;
    std::lock_guard lock(mutex_);
    // Rejecting the low values that would make some results likelier keeps draws uniform.
    const uint32_t threshold = uint32_t(-upperBound) % upperBound;
    while (true) {
        const uint32_t r = next();
        if (r >= threshold) return r % upperBound;
    }
}

uint32_t SeededRandom::uniform(uint32_t upperBound) {
    if (upperBound == 0) return 0;
    std::uniform_int_distribution<uint32_t> dist(0, upperBound - 1);
    return dist(engine_);
}

ScriptedRandom ScriptedRandom::values(const std::vector<uint32_t>& values) {
    std::vector<Draw> script;
    for (uint32_t v : values) script.push_back({v});
    return ScriptedRandom(std::move(script));
}

uint32_t ScriptedRandom::uniform(uint32_t upperBound) {
    bounds_.push_back(upperBound);
    const std::string which = "draw " + std::to_string(bounds_.size());
    if (next_ >= script_.size()) {
        throw std::logic_error(which + " is past the end of the script (bound " +
                               std::to_string(upperBound) + ")");
    }
    const Draw draw = script_[next_++];
    if (draw.bound != kAnyBound && draw.bound != upperBound) {
        throw std::logic_error(which + " asked with bound " + std::to_string(upperBound) +
                               ", the script expects " + std::to_string(draw.bound));
    }
    if (upperBound != 0 && draw.value >= upperBound) {
        throw std::logic_error(which + ": scripted value " + std::to_string(draw.value) +
                               " is not below the bound " + std::to_string(upperBound));
    }
    return upperBound == 0 ? 0 : draw.value;
}

uint32_t ConstantRandom::uniform(uint32_t upperBound) {
    if (upperBound == 0) return 0;
    return value_ < upperBound ? value_ : upperBound - 1;
}

}  // namespace wv
