#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wv {

// The typos of one line, in the order they were made.
struct Mistypes {
    // Per typo the expected character followed by the typed one.
    std::string pairs;
    // The cursor position of every typo, in the same order.
    std::vector<int> pos;

    void add(std::string_view pair, int position);
    // Characters of `pairs` over two: what the stored record counts.
    int count() const;
    void clear();
};

}  // namespace wv
