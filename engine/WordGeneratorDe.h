#pragma once

#include "engine/WordGeneratorBase.h"
#include "languages/LetterGroups.h"

namespace wv {

class WordGeneratorDe : public WordGeneratorBase {
  public:
    explicit WordGeneratorDe(const WordGeneratorLanguage& langData, Bundle bundle = Bundle::main())
        : WordGeneratorBase(Language::de, langData, std::move(bundle)) {}

    std::vector<std::string> letterGroups() const override {
        return ::wv::letterGroups(Language::de);
    }
    const std::vector<int>& lengthWeightsLevel0() const override;
    const std::vector<int>& lengthWeightsLevel1() const override;
    const std::vector<int>& lengthWeightsLevel2() const override;
    const std::vector<int>& lengthWeightsLevel5() const override;
};

}  // namespace wv
