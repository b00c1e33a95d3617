#pragma once

// Test helper: word sources and sentences built from a list of word lengths.

#include <memory>
#include <string>
#include <vector>

#include "engine/WVNumbersHelper.h"
#include "engine/WVSentence.h"
#include "languages/WVPunctuationSelector.h"

namespace wv::testing {

// A word of n letters: the first n letters of the alphabet, so a line shows each word's length.
inline std::string alphabetWord(int n) {
    return std::string("abcdefghijklmnopqrstuvwxyz").substr(0, size_t(n));
}

inline std::shared_ptr<WVWord> word(int length) {
    return std::make_shared<WVWord>(length, alphabetWord, &WVNumbersHelper::numberWithDigits);
}

struct Selectors {
    std::shared_ptr<WVPunctuationSelector> normal =
        makePunctuationSelector(PunctuationType::Normal);
    std::shared_ptr<WVPunctuationSelector> ending =
        makePunctuationSelector(PunctuationType::Ending);

    static Selectors spanish() {
        Selectors s;
        s.ending->itemForValue("?")->inversion = "¿";
        s.ending->itemForValue("!")->inversion = "¡";
        return s;
    }
};

inline WVSentence sentence(const std::vector<int>& lengths, const Selectors& selectors = {}) {
    WVSentence s(selectors.normal, selectors.ending);
    for (int l : lengths) s.addWord(word(l));
    return s;
}

inline std::vector<int> lengths(const WVSentence& s) {
    std::vector<int> out;
    for (const auto& w : s.words()) out.push_back(w->length);
    return out;
}

inline std::vector<bool> capitals(const WVSentence& s) {
    std::vector<bool> out;
    for (const auto& w : s.words()) out.push_back(w->isCapitalized);
    return out;
}

inline std::string gaps(const WVSentence& s) {
    std::string out;
    for (const auto& p : s.punctuations()) out += p->value;
    return out;
}

}  // namespace wv::testing
