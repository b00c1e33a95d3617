#include "engine/Random.h"

#include <cstdint>
#include <iterator>
#include <limits>

#include "platform/foundation/Random.h"

namespace wv {

std::optional<int> Random::randomSetElement(const std::set<int>& set) {
    if (set.empty()) return std::nullopt;
    const uint32_t r = randomUniform(uint32_t(set.size()));
    return *std::next(set.begin(), r);
}

std::string Random::randomArrayElement(const std::vector<std::string>& array) {
    if (array.empty()) return "";
    return array[randomUniform(uint32_t(array.size()))];
}

std::set<int> Random::distinctRandomElements(const std::set<int>& set, int n) {
    if (n >= 0 && size_t(n) >= set.size()) return set;
    if (n <= 0) return {};
    std::set<int> chosen;
    while (chosen.size() < size_t(n)) {
        if (chosen.insert(*randomSetElement(set)).second) continue;
        // A repeat: draw once among the rest. Each remaining element still comes out with the
        // same probability, and a source stuck on one value cannot keep the loop going.
        std::set<int> rest;
        for (int e : set) {
            if (!chosen.count(e)) rest.insert(e);
        }
        chosen.insert(*randomSetElement(rest));
    }
    return chosen;
}

std::optional<int> weightedRandomIndex(const std::vector<int>& weights) {
    uint64_t sum = 0;
    for (int w : weights) {
        if (w >= 1) sum += uint64_t(w);
    }
    if (sum == 0 || sum > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    const uint64_t r = randomUniform(uint32_t(sum));
    uint64_t acc = 0;
    for (size_t i = 0; i < weights.size(); ++i) {
        if (weights[i] < 1) continue;
        acc += uint64_t(weights[i]);
        if (r < acc) return int(i + 1);
    }
    return std::nullopt;
}

}  // namespace wv
