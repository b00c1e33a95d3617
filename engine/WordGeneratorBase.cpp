#include "engine/WordGeneratorBase.h"

#include "engine/Random.h"
#include "engine/WVText.h"
#include "engine/WordGeneratorDe.h"
#include "engine/WordGeneratorEn.h"
#include "engine/WordGeneratorEs.h"
#include "engine/WordGeneratorFr.h"
#include "engine/WordGeneratorGr.h"
#include "engine/WordGeneratorIt.h"
#include "engine/WordGeneratorPr.h"
#include "engine/WordGeneratorRu.h"
#include "engine/WordGeneratorTr.h"
#include "engine/WordGeneratorUa.h"
#include "languages/LangData.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Random.h"
#include "platform/foundation/Text.h"

namespace wv {

namespace {

// Redraws of a word length that repeats the previous one, before the first other drawable
// length is taken: a source that keeps giving the same draw must not stall the line.
constexpr int kMaxLengthRedraws = 64;

}  // namespace

WordGeneratorBase::WordGeneratorBase(Language type, const WordGeneratorLanguage& langData,
                                     Bundle bundle)
    : type_(type), langData_(langData) {
    const std::string caseName(languageName(type));
    for (int level = 0; level <= 5; ++level) {
        dbs_.push_back(std::make_shared<WordsDB>(caseName + "_" + std::to_string(level), bundle));
    }
    dbs_.push_back(dbs_.back());
}

WordGeneratorBase::~WordGeneratorBase() = default;

std::vector<std::string> WordGeneratorBase::letterGroups() const {
    return std::vector<std::string>(6, "xxx");
}

const std::vector<int>& WordGeneratorBase::lengthWeightsLevel5() const {
    static const std::vector<int> weights(10, 1);
    return weights;
}

const std::set<std::string>& WordGeneratorBase::filterWordsSet() {
    if (!filterWordsSet_) {
        filterWordsSet_.emplace();
        const std::string words = filterWords();
        size_t start = 0;
        while (start <= words.size()) {
            const size_t end = std::min(words.find(' ', start), words.size());
            if (end > start) filterWordsSet_->insert(words.substr(start, end - start));
            start = end + 1;
        }
    }
    return *filterWordsSet_;
}

const std::vector<int>& WordGeneratorBase::lengthWeights(int level) const {
    switch (level) {
        case 0:
            return lengthWeightsLevel0();
        case 1:
            return lengthWeightsLevel1();
        case 2:
            return lengthWeightsLevel2();
        case 3:
            return lengthWeightsLevel3();
        case 4:
            return lengthWeightsLevel4();
        default:
            return lengthWeightsLevel5();
    }
}

std::vector<std::string> WordGeneratorBase::currentLevelLetterList() const {
    const int difficulty = langData_.difficulty();
    const auto groups = letterGroups();
    if (difficulty < 0 || difficulty >= static_cast<int>(groups.size())) return {};
    return text::characters(groups[difficulty]);
}

std::optional<int> WordGeneratorBase::lessonOfCharacter(std::string_view ch) const {
    const std::string wanted = text::nfc(ch);
    for (int i = 0; i < static_cast<int>(letterGroups().size()); ++i) {
        for (const auto& letter : text::characters(text::nfc(letterGroups()[i]))) {
            if (letter == wanted) return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> WordGeneratorBase::word(int length, int level,
                                                   const std::optional<std::string>& priority,
                                                   Lookup lookup) {
    return getWordWithSymbols(length, level, priority, lookup);
}

std::optional<std::string> WordGeneratorBase::getWordWithSymbols(
    int symbols, int level, const std::optional<std::string>& priority, Lookup lookup) {
    if (symbols < 1 || symbols > 10) {
        Log::print("getWordWithSymbols: wrong value symbols = " + std::to_string(symbols));
        return std::string();
    }
    lastWordIsNumber_ = false;
    WordsDB& database = *dbs_[std::clamp(level, 0, 6)];
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::optional<std::string> w;
        if (lookup == Lookup::PriorityOnly) {
            if (priority && !priority->empty()) w = database.randomWord(symbols, priority);
        } else {
            w = database.word(symbols, priority);
        }
        if (!w) continue;
        if (filterWordsSet().count(*w)) {
            Log::print("FILTERED word: " + *w);
            continue;
        }
        return w;
    }
    return std::nullopt;
}

std::string WordGeneratorBase::wordForLength(int len, int level, MistypesInfo* mistypes) {
    const std::string lessonLetter = Random::randomArrayElement(currentLevelLetterList());
    std::optional<std::string> w;
    if (mistypes) {
        const auto ch = mistypes->mostFrequentCharacter();
        const auto lesson = ch ? lessonOfCharacter(*ch) : std::nullopt;
        if (lesson && *lesson <= langData_.difficulty()) {
            Log::print("looking for: " + *ch + " in lesson " + std::to_string(*lesson));
            // Only real words that hold the letter; none at either level: the lesson's way.
            w = word(len, *lesson, *ch, Lookup::PriorityOnly);
            if (!w) w = word(len, level, *ch, Lookup::PriorityOnly);
        }
    }
    if (!w) w = word(len, level, lessonLetter, Lookup::WithFallbacks);
    if (!w) w = word(len, level, lessonLetter, Lookup::WithFallbacks);
    if (!w) return "ERROR";
    if (mistypes) mistypes->injectWord(*w);
    return *w;
}

int WordGeneratorBase::drawLength(int level) const {
    int len = weightedRandomIndex(lengthWeights(level)).value_or(4);
    for (int redraw = 0; len == prevRndVal_ && redraw < kMaxLengthRedraws; ++redraw) {
        len = weightedRandomIndex(lengthWeights(level)).value_or(3);
    }
    if (len == prevRndVal_) {
        const auto& weights = lengthWeights(level);
        for (size_t i = 0; i < weights.size(); ++i) {
            if (weights[i] >= 1 && static_cast<int>(i) + 1 != prevRndVal_) {
                return static_cast<int>(i) + 1;
            }
        }
    }
    return len;
}

// The pool is used up across lines: a restarted line goes on from what the last one left.
std::string WordGeneratorBase::generateText(int length, int level, MistypesInfo* mistypes) {
    int sentences = 1;
    if (langData_.punctuationOn()) {
        if (randomUniform(10) < 5) {
            sentences = 2;
        } else {
            sentences = randomUniform(10) > 4 ? 3 : 1;
        }
    }
    WVText text(
        sentences, langData_.punctuations(), langData_.punctuationsEnd(),
        [this, level, mistypes](int len) { return wordForLength(len, level, mistypes); },
        langData_.capitalizer());
    while (text.length() < length) {
        const int before = text.length();
        const int len = drawLength(level);
        prevRndVal_ = len;
        text.addWord(len);
        if (text.length() == before) break;  // no sentence takes words
    }
    text.fitToLength(length);
    const int n = static_cast<int>(text.allWords().size());
    const float p = langData_.punctuationOn() ? 0.5f : 0.0f;
    const float q = langData_.capitalsOn() && n > 0 ? float(n / 3) / float(n) : 0.0f;
    const int k = langData_.numbersOn() ? 3 + static_cast<int>(randomUniform(3)) : 0;
    text.setPunctuation(p);
    text.fitToLength(length);
    text.makeNumbers(k);
    text.setCapitals(q);
    return text.text();
}

std::unique_ptr<WordGeneratorBase> makeWordGenerator(Language language,
                                                     const WordGeneratorLanguage& langData,
                                                     Bundle bundle) {
    switch (language) {
        case Language::en:
            return std::make_unique<WordGeneratorEn>(langData, std::move(bundle));
        case Language::ua:
            return std::make_unique<WordGeneratorUa>(langData, std::move(bundle));
        case Language::ru:
            return std::make_unique<WordGeneratorRu>(langData, std::move(bundle));
        case Language::de:
            return std::make_unique<WordGeneratorDe>(langData, std::move(bundle));
        case Language::es:
            return std::make_unique<WordGeneratorEs>(langData, std::move(bundle));
        case Language::fr:
            return std::make_unique<WordGeneratorFr>(langData, std::move(bundle));
        case Language::gr:
            return std::make_unique<WordGeneratorGr>(langData, std::move(bundle));
        case Language::tr:
            return std::make_unique<WordGeneratorTr>(langData, std::move(bundle));
        case Language::it:
            return std::make_unique<WordGeneratorIt>(langData, std::move(bundle));
        case Language::pr:
            return std::make_unique<WordGeneratorPr>(langData, std::move(bundle));
    }
    return std::make_unique<WordGeneratorEn>(langData, std::move(bundle));
}

namespace {

// A LangData as the generator reads it.
class LangDataLanguage final : public WordGeneratorLanguage {
  public:
    explicit LangDataLanguage(LangData& langData) : langData_(langData) {}
    int difficulty() const override { return static_cast<int>(langData_.difficulty()); }
    bool numbersOn() const override { return langData_.numbersOn(); }
    bool capitalsOn() const override { return langData_.capitalsOn(); }
    bool punctuationOn() const override { return langData_.punctuationOn(); }
    std::shared_ptr<WVPunctuationSelector> punctuations() const override {
        return langData_.punctuations();
    }
    std::shared_ptr<WVPunctuationSelector> punctuationsEnd() const override {
        return langData_.punctuationsEnd();
    }
    Capitalizer capitalizer() const override { return Capitalizer::forKeyMap(langData_.keys()); }

  private:
    LangData& langData_;
};

}  // namespace

std::unique_ptr<WordGenerator> makeLangDataWordGenerator(LangData& langData) {
    auto language = std::make_unique<LangDataLanguage>(langData);
    auto generator = makeWordGenerator(langData.type(), *language);
    generator->keepLanguage(std::move(language));
    return generator;
}

}  // namespace wv
