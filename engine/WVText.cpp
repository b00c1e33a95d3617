#include "engine/WVText.h"

#include <set>

#include "engine/Random.h"
#include "engine/WVNumbersHelper.h"

namespace wv {

WVText::WVText(int sentenceCount, std::shared_ptr<WVPunctuationSelector> punctuationSelector,
               std::shared_ptr<WVPunctuationSelector> punctuationEndSelector,
               WVWord::Source getWordWithSymbols, Capitalizer capitals)
    : getWordWithSymbols_(std::move(getWordWithSymbols)) {
    for (int i = 0; i < sentenceCount; ++i) {
        sentences_.emplace_back(punctuationSelector, punctuationEndSelector, capitals);
    }
}

std::vector<std::shared_ptr<WVWord>> WVText::allWords() const {
    std::vector<std::shared_ptr<WVWord>> words;
    for (const auto& s : sentences_) words.insert(words.end(), s.words().begin(), s.words().end());
    return words;
}

void WVText::addWord(int length) {
    if (sentences_.empty()) return;
    WVSentence* target = &sentences_.front();
    int shortest = target->length();
    for (auto& s : sentences_) {
        const int l = s.length();
        if (l < shortest) {
            shortest = l;
            target = &s;
        }
    }
    target->addWord(
        std::make_shared<WVWord>(length, getWordWithSymbols_, &WVNumbersHelper::numberWithDigits));
}

void WVText::setPunctuation(float probability) {
    for (auto& s : sentences_) s.setPunctuation(probability);
}

void WVText::setCapitals(float probability) {
    for (auto& s : sentences_) s.setCapitals(probability);
}

void WVText::makeNumbers(int count) {
    if (count < 1) return;
    const std::vector<std::shared_ptr<WVWord>> words = allWords();
    std::set<int> candidates;
    for (size_t i = 1; i < words.size(); ++i) {
        if (!words[i]->isCapitalized && words[i]->length < 5) candidates.insert(int(i));
    }
    for (int i : Random::distinctRandomElements(candidates, count))
        words[size_t(i)]->isNumber = true;
}

WVSentence& WVText::longestSentence() {
    WVSentence* longest = &sentences_.front();
    int most = longest->length();
    for (auto& s : sentences_) {
        const int l = s.length();
        if (l > most) {
            most = l;
            longest = &s;
        }
    }
    return *longest;
}

void WVText::fitToLength(int target) {
    for (int current = length(); current > target && !sentences_.empty();) {
        const int excess = current - target;
        WVSentence& s = longestSentence();
        if (excess < 7 || !s.removeWord(excess)) s.shortenLongestWord();
        const int next = length();
        if (next >= current) return;  // nothing left that this step can shorten
        current = next;
    }
}

const WVSentence* WVText::closingSentence() const {
    for (auto it = sentences_.rbegin(); it != sentences_.rend(); ++it) {
        if (!it->words().empty()) return &*it;
    }
    return sentences_.empty() ? nullptr : &sentences_.back();
}

int WVText::length() const {
    const WVSentence* closing = closingSentence();
    if (!closing) return 0;
    int total = 0;
    for (const auto& s : sentences_) total += s.length();
    return closing->ending()->spaceAfter.empty() ? total : total - 1;
}

std::string WVText::text() const {
    const WVSentence* closing = closingSentence();
    if (!closing) return "";
    std::string out;
    for (const auto& s : sentences_) out += s.text();
    if (!closing->ending()->spaceAfter.empty() && !out.empty()) {
        // The trailing space is one character; step back over its UTF-8 continuation bytes.
        size_t start = out.size() - 1;
        while (start > 0 && (static_cast<unsigned char>(out[start]) & 0xC0) == 0x80) --start;
        out.erase(start);
    }
    return out;
}

}  // namespace wv
