#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/WordGeneratorBase.h"
#include "engine/WordGeneratorLanguage.h"
#include "languages/WordGenerator.h"
#include "platform/foundation/Bundle.h"

namespace wv {

class LangData;

// The lesson engine's generator of a language, as the language holds it: the language's own
// generator class over the bundle's word databases, reading the lesson, options, punctuation
// and capitals of its LangData at every line.
class LanguageWordGenerator : public WordGenerator, private WordGeneratorLanguage {
  public:
    // `langData` owns the generator and outlives it; it may still be under construction.
    explicit LanguageWordGenerator(LangData& langData, Bundle bundle = Bundle::main());

    // What LangRoot builds each language's generator with.
    static WordGeneratorFactory factory(Bundle bundle = Bundle::main());

    std::vector<std::string> letterGroups() const override;
    // Uses up the practice pool it is given as it places practice letters.
    std::string generateText(int length, int level, const MistypesInfo* mistypes) override;

    WordGeneratorBase& base() { return *base_; }

  private:
    int difficulty() const override;
    bool numbersOn() const override;
    bool capitalsOn() const override;
    bool punctuationOn() const override;
    std::shared_ptr<WVPunctuationSelector> punctuations() const override;
    std::shared_ptr<WVPunctuationSelector> punctuationsEnd() const override;
    Capitalizer capitalizer() const override;

    LangData& langData_;
    std::unique_ptr<WordGeneratorBase> base_;
};

}  // namespace wv
