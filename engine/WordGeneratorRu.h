#pragma once

#include "engine/WordGeneratorBase.h"
#include "languages/LetterGroups.h"

namespace wv {

class WordGeneratorRu : public WordGeneratorBase {
  public:
    explicit WordGeneratorRu(const WordGeneratorLanguage& langData, Bundle bundle = Bundle::main())
        : WordGeneratorBase(Language::ru, langData, std::move(bundle)) {}

    std::vector<std::string> letterGroups() const override {
        return ::wv::letterGroups(Language::ru);
    }
    const std::vector<int>& lengthWeightsLevel0() const override;
    const std::vector<int>& lengthWeightsLevel5() const override;
    // The database word with every "ё" written "е", as the lessons teach no "ё".
    std::optional<std::string> word(int length, int level,
                                    const std::optional<std::string>& priority,
                                    Lookup lookup) override;
};

}  // namespace wv
