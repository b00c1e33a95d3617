#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "languages/WVPunctuation.h"

namespace wv {

enum class PunctuationType { Normal, Ending };

// A fixed set of marks of one kind, handed out in shuffled cycles: every mark once before
// any mark again. One selector per kind and language, shared by every line of that
// language, so a cycle carries over from sentence to sentence and from line to line.
class WVPunctuationSelector {
  public:
    explicit WVPunctuationSelector(std::vector<std::shared_ptr<WVPunctuation>> items)
        : items_(std::move(items)) {}

    // The marks in their fixed order; their own fields may be changed (Spanish inversions).
    const std::vector<std::shared_ptr<WVPunctuation>>& items() const { return items_; }
    // The marks still to be handed out in the current cycle (the last one goes next).
    const std::vector<std::shared_ptr<WVPunctuation>>& itemsRandomCache() const {
        return itemsRandomCache_;
    }

    // Each mark's value followed by its inversion, in the order of items, no spacing.
    std::string symbols() const;
    // The next mark of the cycle (the same object as in items); a new cycle starts with a
    // fresh shuffle through the shared random source. A selector without marks gives an
    // empty mark rather than failing, so a line is still built.
    std::shared_ptr<WVPunctuation> nextRandom();
    // The first mark whose value equals `value`, or null.
    std::shared_ptr<WVPunctuation> itemForValue(std::string_view value) const;

  private:
    std::vector<std::shared_ptr<WVPunctuation>> items_;
    std::vector<std::shared_ptr<WVPunctuation>> itemsRandomCache_;
};

// Normal: "," ":" ";" each followed by a space, and "-" with no space around it.
// Ending: "." "?" "!" each followed by a space. No mark has an inversion or a space before.
std::shared_ptr<WVPunctuationSelector> makePunctuationSelector(PunctuationType type);

}  // namespace wv
