#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/Capitalizer.h"
#include "engine/WVWord.h"
#include "languages/WVPunctuation.h"
#include "languages/WVPunctuationSelector.h"

namespace wv {

// One sentence of an exercise line: word slots separated by gap marks (gap i stands between
// word i and word i + 1, so there is always one gap fewer than words) and closed by an ending.
// Marks drawn from the selectors are the language's own shared objects and are never changed.
class WVSentence {
  public:
    WVSentence(std::shared_ptr<WVPunctuationSelector> punctuationSelector,
               std::shared_ptr<WVPunctuationSelector> punctuationEndSelector,
               Capitalizer capitals = {});

    const std::vector<std::shared_ptr<WVWord>>& words() const { return words_; }
    const std::vector<std::shared_ptr<WVPunctuation>>& punctuations() const {
        return punctuations_;
    }
    const std::shared_ptr<WVPunctuation>& ending() const { return ending_; }

    // Appends a word; from the second word on a plain space separates it from the previous one.
    void addWord(std::shared_ptr<WVWord> word);

    // Word lengths plus the lengths of every gap mark and of the ending, inversions included.
    int length() const;
    int capitalizedCount() const;
    // The ending's inversion, the words with their gap marks, then the ending. The word sources
    // run anew on every call.
    std::string text() const;

    // Removes a word to take away at most `excess` characters: the first word as long as
    // excess minus the last gap mark, else the longest (first) shorter one; the last gap mark
    // goes with it. False, and nothing changes, when no word qualifies or there is no gap.
    bool removeWord(int excess);
    // The longest (first) word loses one character unless it has fewer than 2.
    void shortenLongestWord();
    // Each gap gets a mark with the given probability (a draw below 100 per gap), the sentence
    // an ending. Nothing happens for a probability of 0 or less (or NaN) or without words.
    void setPunctuation(float probability);
    // About probability x words get capitals, always including the first word. Nothing happens
    // for a probability of 0 or less (or NaN) or without words.
    void setCapitals(float probability);

  private:
    std::vector<std::shared_ptr<WVWord>> words_;
    std::vector<std::shared_ptr<WVPunctuation>> punctuations_;
    std::shared_ptr<WVPunctuation> ending_;
    std::shared_ptr<WVPunctuationSelector> punctuationSelector_;
    std::shared_ptr<WVPunctuationSelector> punctuationEndSelector_;
    Capitalizer capitals_;
};

}  // namespace wv
