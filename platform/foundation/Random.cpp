#include "platform/foundation/Random.h"

#include <stdlib.h>

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

uint32_t SystemRandom::uniform(uint32_t upperBound) {
    return upperBound == 0 ? 0 : arc4random_uniform(upperBound);
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
