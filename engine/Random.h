#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "languages/Shuffle.h"

namespace wv {

// The random primitives of exercise text. Every draw is one uniform draw below a 32-bit bound
// from the shared random source (platform/foundation/Random.h), so tests can script them.
// The in-place array shuffle is wv::shuffle (languages/Shuffle.h).
class Random {
  public:
    // The element reached by stepping a draw below the count from the first element.
    static std::optional<int> randomSetElement(const std::set<int>& set);
    // The element at a draw below the count; an empty array gives "" without a draw.
    static std::string randomArrayElement(const std::vector<std::string>& array);
    // n different elements of `set`: all of them when n is not below the count, none when
    // n <= 0. A draw that repeats a chosen element is followed by one among the elements not
    // yet chosen, so every draw after a repeat makes progress whatever the source gives.
    static std::set<int> distinctRandomElements(const std::set<int>& set, int n);
};

// A 1-based position drawn with probability weight / sum of weights; weights below 1 are
// never drawn. None (and no draw) for an empty list, no weight of 1 or more, or a sum that
// does not fit a 32-bit bound.
std::optional<int> weightedRandomIndex(const std::vector<int>& weights);

}  // namespace wv
