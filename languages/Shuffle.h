#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/foundation/Random.h"

namespace wv {

// Shuffles in place through the shared random source, every order equally likely.
// Position i (all but the last) is exchanged with i + a draw below (count - i), so a
// scripted source sees the bounds count, count - 1, ..., 2.
template <typename T>
void shuffle(std::vector<T>& items) {
    if (items.size() < 2) return;
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        const size_t j = i + randomUniform(uint32_t(items.size() - i));
        if (j != i) std::swap(items[i], items[j]);
    }
}

}  // namespace wv
