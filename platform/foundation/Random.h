#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

namespace wv {

// A source of uniform random numbers in [0, upperBound), the one way the program draws.
// upperBound 0 yields 0 (as the platform's arc4random_uniform does).
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual uint32_t uniform(uint32_t upperBound) = 0;

    // The process-wide source every draw goes through unless a caller is given its own.
    static RandomSource& shared();
    // Replaces the shared source (tests); returns the previous one. nullptr restores the system's.
    static std::shared_ptr<RandomSource> setShared(std::shared_ptr<RandomSource> source);
};

// Draws from the shared source: the program's arc4random_uniform.
uint32_t randomUniform(uint32_t upperBound);

// The operating system's entropy, fetched a block at a time: one system call per draw
// would cost more than building a whole exercise line.
class SystemRandom final : public RandomSource {
public:
    uint32_t uniform(uint32_t upperBound) override;

private:
    uint32_t next();
    std::mutex mutex_;
    std::array<uint32_t, 256> buffer_{};
    size_t used_ = buffer_.size();
};

// Repeatable: the same seed gives the same draws.
class SeededRandom final : public RandomSource {
public:
    explicit SeededRandom(uint64_t seed) : engine_(seed) {}
    uint32_t uniform(uint32_t upperBound) override;

private:
    std::mt19937_64 engine_;
};

// Hands out a script of draws. Each entry may name the bound the caller must ask with;
// a different bound, a value not below the bound, or a draw past the end of the script
// throws std::logic_error, so a test sees the first draw that went astray.
class ScriptedRandom final : public RandomSource {
public:
    static constexpr uint32_t kAnyBound = UINT32_MAX;
    struct Draw {
        uint32_t value;
        uint32_t bound = kAnyBound;
    };
    explicit ScriptedRandom(std::vector<Draw> script) : script_(std::move(script)) {}
    // ScriptedRandom r{{2, 5}, {0}}: 2 asked with bound 5, then 0 with any bound.
    ScriptedRandom(std::initializer_list<Draw> script) : script_(script) {}
    static ScriptedRandom values(const std::vector<uint32_t>& values);

    uint32_t uniform(uint32_t upperBound) override;

    const std::vector<uint32_t>& boundsAsked() const { return bounds_; }
    size_t remaining() const { return script_.size() - next_; }

private:
    std::vector<Draw> script_;
    size_t next_ = 0;
    std::vector<uint32_t> bounds_;
};

// Always the same value (clamped below the bound): the source that makes redraw loops stall.
class ConstantRandom final : public RandomSource {
public:
    explicit ConstantRandom(uint32_t value) : value_(value) {}
    uint32_t uniform(uint32_t upperBound) override;

private:
    uint32_t value_;
};

// Installs a shared source for the life of the object.
class ScopedRandomSource {
public:
    explicit ScopedRandomSource(std::shared_ptr<RandomSource> source)
        : previous_(RandomSource::setShared(std::move(source))) {}
    ~ScopedRandomSource() { RandomSource::setShared(std::move(previous_)); }
    ScopedRandomSource(const ScopedRandomSource&) = delete;
    ScopedRandomSource& operator=(const ScopedRandomSource&) = delete;

private:
    std::shared_ptr<RandomSource> previous_;
};

}  // namespace wv
