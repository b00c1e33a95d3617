#include "engine/WVSentence.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>

#include "engine/Random.h"
#include "platform/foundation/Random.h"

namespace wv {

namespace {

std::shared_ptr<WVPunctuation> plainSpace() {
    return std::make_shared<WVPunctuation>("", " ", "", "");
}

// A probability that asks for nothing is 0 or less, or not a number; above 1 counts as 1.
std::optional<float> effective(float probability) {
    if (std::isnan(probability) || probability <= 0) return std::nullopt;
    return std::min(probability, 1.0f);
}

}  // namespace

WVSentence::WVSentence(std::shared_ptr<WVPunctuationSelector> punctuationSelector,
                       std::shared_ptr<WVPunctuationSelector> punctuationEndSelector,
                       Capitalizer capitals)
    : ending_(std::make_shared<WVPunctuation>()),
      punctuationSelector_(std::move(punctuationSelector)),
      punctuationEndSelector_(std::move(punctuationEndSelector)),
      capitals_(std::move(capitals)) {}

void WVSentence::addWord(std::shared_ptr<WVWord> word) {
    words_.push_back(std::move(word));
    if (words_.size() >= 2) punctuations_.push_back(plainSpace());
}

int WVSentence::length() const {
    int total = ending_->length();
    for (const auto& w : words_) total += w->length;
    for (const auto& p : punctuations_) total += p->length();
    return total;
}

int WVSentence::capitalizedCount() const {
    int count = 0;
    for (const auto& w : words_) count += w->isCapitalized ? 1 : 0;
    return count;
}

std::string WVSentence::text() const {
    std::string out = ending_->inversion;
    for (size_t i = 0; i < std::max(words_.size(), punctuations_.size()); ++i) {
        if (i < words_.size()) out += words_[i]->text(capitals_);
        if (i < punctuations_.size()) {
            const WVPunctuation& gap = *punctuations_[i];
            out += gap.spaceBefore + gap.value + gap.spaceAfter;
        }
    }
    return out + ending_->spaceBefore + ending_->value + ending_->spaceAfter;
}

bool WVSentence::removeWord(int excess) {
    if (punctuations_.empty()) return false;
    const int need = excess - punctuations_.back()->length();
    auto chosen = words_.end();
    for (auto it = words_.begin(); it != words_.end(); ++it) {
        if ((*it)->length == need) {
            chosen = it;
            break;
        }
        if ((*it)->length < need && (chosen == words_.end() || (*it)->length > (*chosen)->length)) {
            chosen = it;
        }
    }
    if (chosen == words_.end()) return false;
    words_.erase(chosen);
    punctuations_.pop_back();
    return true;
}

void WVSentence::shortenLongestWord() {
    WVWord* longest = nullptr;
    for (const auto& w : words_) {
        if (!longest || w->length > longest->length) longest = w.get();
    }
    if (longest && longest->length >= 2) --longest->length;
}

void WVSentence::setPunctuation(float probability) {
    const std::optional<float> p = effective(probability);
    if (!p || words_.empty()) return;
    punctuations_.clear();
    const uint32_t threshold = uint32_t(*p * 100);
    for (size_t gap = 0; gap + 1 < words_.size(); ++gap) {
        punctuations_.push_back(randomUniform(100) < threshold ? punctuationSelector_->nextRandom()
                                                               : plainSpace());
    }
    ending_ = punctuationEndSelector_->nextRandom();
}

void WVSentence::setCapitals(float probability) {
    const std::optional<float> p = effective(probability);
    if (!p || words_.empty()) return;
    const int wanted = int(*p * float(words_.size()));
    const int have = capitalizedCount();
    if (have < wanted) {
        std::set<int> candidates{0};
        for (size_t i = 1; i < words_.size(); ++i) {
            if (!words_[i]->isNumber && !words_[i]->isCapitalized) candidates.insert(int(i));
        }
        for (int i : Random::distinctRandomElements(candidates, wanted - have)) {
            words_[size_t(i)]->isCapitalized = true;
        }
    }
    words_.front()->isCapitalized = true;
}

}  // namespace wv
