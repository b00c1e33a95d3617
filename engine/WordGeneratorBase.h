#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/MistypesInfo.h"
#include "engine/WordGeneratorLanguage.h"
#include "engine/WordsDB.h"
#include "languages/Language.h"
#include "languages/WordGenerator.h"
#include "platform/foundation/Bundle.h"

namespace wv {

class LangData;

// Builds the exercise line of one learning language: weighted word lengths, words of the
// lesson's database with a lesson letter (or the most mistyped letter) as priority, handed to
// WVText for sentences, punctuation, numbers and capitals. Subclasses supply the tables.
class WordGeneratorBase : public WordGenerator {
  public:
    // How far a word request may fall back when no word carries the priority letter.
    enum class Lookup {
        WithFallbacks,  // any word of the length, then joined pieces of random words
        PriorityOnly,   // only a real word with the priority letter, or nothing
    };

    WordGeneratorBase(Language type, const WordGeneratorLanguage& langData,
                      Bundle bundle = Bundle::main());
    ~WordGeneratorBase() override;
    WordGeneratorBase(const WordGeneratorBase&) = delete;
    WordGeneratorBase& operator=(const WordGeneratorBase&) = delete;

    std::vector<std::string> letterGroups() const override;
    virtual const std::vector<int>& lengthWeightsLevel0() const { return lengthWeightsLevel5(); }
    virtual const std::vector<int>& lengthWeightsLevel1() const { return lengthWeightsLevel5(); }
    virtual const std::vector<int>& lengthWeightsLevel2() const { return lengthWeightsLevel5(); }
    virtual const std::vector<int>& lengthWeightsLevel3() const { return lengthWeightsLevel5(); }
    virtual const std::vector<int>& lengthWeightsLevel4() const { return lengthWeightsLevel5(); }
    virtual const std::vector<int>& lengthWeightsLevel5() const;
    virtual std::string filterWords() const { return ""; }
    virtual std::optional<std::string> word(int length, int level,
                                            const std::optional<std::string>& priority,
                                            Lookup lookup);

    // One exercise line of about `length` characters for the lesson `level` (0..6). The line
    // practises the pending letters of `mistypes` and uses them up on a copy: the caller's
    // pool is handed over read-only.
    std::string generateText(int length, int level, MistypesInfo* mistypes) override;
    // A database word of `symbols` letters (1..10) that is not filtered; "" for a length
    // outside 1..10; none after ten draws without a usable word.
    std::optional<std::string> getWordWithSymbols(int symbols, int level,
                                                  const std::optional<std::string>& priority,
                                                  Lookup lookup = Lookup::WithFallbacks);
    // The first lesson whose group holds the character; none for no group.
    std::optional<int> lessonOfCharacter(std::string_view ch) const;
    // The word of `len` letters for one line; "ERROR" when the databases have none.
    std::string wordForLength(int len, int level, MistypesInfo* mistypes);

    // The letters of the current lesson, one string each; empty at the expert level.
    std::vector<std::string> currentLevelLetterList() const;
    const std::vector<int>& lengthWeights(int level) const;

    Language type() const { return type_; }
    WordsDB& db(int level) { return *dbs_[std::min(level, 6)]; }
    bool isAuto() const { return auto_; }
    bool lastWordIsNumber() const { return lastWordIsNumber_; }
    int prevRndVal() const { return prevRndVal_; }
    const std::set<std::string>& filterWordsSet();

    // Makes the generator own the settings source it reads (the adapter over a LangData).
    void keepLanguage(std::unique_ptr<WordGeneratorLanguage> language) {
        ownedLanguage_ = std::move(language);
    }

  private:
    int drawLength(int level) const;

    Language type_;
    std::vector<std::shared_ptr<WordsDB>> dbs_;  // levels 0..5, and 6 = the level-5 object
    bool auto_ = true;                           // read by nothing in generation
    bool lastWordIsNumber_ = false;
    const WordGeneratorLanguage& langData_;
    std::unique_ptr<WordGeneratorLanguage> ownedLanguage_;
    std::optional<std::set<std::string>> filterWordsSet_;  // built on first use (virtual)
    int prevRndVal_ = 0;
};

// The generator class of the language, reading `langData`, which must outlive it.
std::unique_ptr<WordGeneratorBase> makeWordGenerator(Language language,
                                                     const WordGeneratorLanguage& langData,
                                                     Bundle bundle = Bundle::main());
// The generator of a LangData, for the language tree (a WordGeneratorFactory): it reads the
// language's lesson, options, punctuation and layout as they are at each line.
std::unique_ptr<WordGenerator> makeLangDataWordGenerator(LangData& langData);

}  // namespace wv
