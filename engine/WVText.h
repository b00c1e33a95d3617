#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/Capitalizer.h"
#include "engine/WVSentence.h"
#include "engine/WVWord.h"
#include "languages/WVPunctuationSelector.h"

namespace wv {

// The exercise line under construction: a fixed number of sentences that receive word slots
// one by one, are fitted to a target length, get punctuation, numbers and capitals, and are
// rendered into the line the learner types. Lengths are user-perceived characters and are
// recomputed from the words and marks on every step.
class WVText {
  public:
    // `getWordWithSymbols` gives a word of the asked number of letters; `capitals` carries the
    // language's case rules and the layout's check for typeable capitals.
    WVText(int sentenceCount, std::shared_ptr<WVPunctuationSelector> punctuationSelector,
           std::shared_ptr<WVPunctuationSelector> punctuationEndSelector,
           WVWord::Source getWordWithSymbols, Capitalizer capitals = {});

    const std::vector<WVSentence>& sentences() const { return sentences_; }
    // The words of every sentence in reading order: the sentences' own objects.
    std::vector<std::shared_ptr<WVWord>> allWords() const;

    // A new word slot for the shortest sentence (the first of equally short ones); dropped
    // when there are no sentences.
    void addWord(int length);
    void setPunctuation(float probability);
    // Up to `count` words become numbers of as many digits as their length; only words after
    // the first of the line, not capitalised and shorter than 5 qualify.
    void makeNumbers(int count);
    void setCapitals(float probability);
    // Shortens the line to `target` by shortening or removing words of the longest sentence.
    // Stops as soon as a step cannot make the line shorter, so an unreachable target returns.
    void fitToLength(int target);

    // The sentences joined directly, without the line's trailing space.
    std::string text() const;
    // The counted length of text(): without the trailing space.
    int length() const;

  private:
    // The sentence whose ending closes the line: the last one with words (or the last one).
    const WVSentence* closingSentence() const;
    WVSentence& longestSentence();

    std::vector<WVSentence> sentences_;
    WVWord::Source getWordWithSymbols_;
};

}  // namespace wv
