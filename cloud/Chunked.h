#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace wv {

// Consecutive slices of `size` elements in order, the last holding the rest; none for an
// empty list. A size below 1 is taken as 1.
template <typename T>
std::vector<std::vector<T>> chunked(const std::vector<T>& items, std::ptrdiff_t size) {
    const size_t step = size < 1 ? 1 : size_t(size);
    std::vector<std::vector<T>> slices;
    for (size_t start = 0; start < items.size(); start += step) {
        const size_t end = std::min(items.size(), start + step);
        slices.emplace_back(items.begin() + std::ptrdiff_t(start),
                            items.begin() + std::ptrdiff_t(end));
    }
    return slices;
}

}  // namespace wv
