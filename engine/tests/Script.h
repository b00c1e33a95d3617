#pragma once

// Test helper: installs a scripted random source for the life of the object, so every draw of
// the code under test is checked against its expected bound.

#include <memory>
#include <utility>
#include <vector>

#include "platform/foundation/Random.h"

namespace wv::testing {

class Script {
  public:
    explicit Script(std::vector<ScriptedRandom::Draw> draws)
        : source_(std::make_shared<ScriptedRandom>(std::move(draws))), scope_(source_) {}

    // Whether every scripted draw was taken.
    bool used() const { return source_->remaining() == 0; }
    const std::vector<uint32_t>& bounds() const { return source_->boundsAsked(); }

  private:
    std::shared_ptr<ScriptedRandom> source_;
    ScopedRandomSource scope_;
};

}  // namespace wv::testing
