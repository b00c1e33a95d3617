#pragma once

#include "engine/WordGeneratorBase.h"
#include "languages/LetterGroups.h"

namespace wv {

class WordGeneratorPr : public WordGeneratorBase {
  public:
    explicit WordGeneratorPr(const WordGeneratorLanguage& langData, Bundle bundle = Bundle::main())
        : WordGeneratorBase(Language::pr, langData, std::move(bundle)) {}

    std::vector<std::string> letterGroups() const override {
        return ::wv::letterGroups(Language::pr);
    }
    const std::vector<int>& lengthWeightsLevel0() const override;
    const std::vector<int>& lengthWeightsLevel1() const override;
    const std::vector<int>& lengthWeightsLevel2() const override;
    const std::vector<int>& lengthWeightsLevel3() const override;
    const std::vector<int>& lengthWeightsLevel4() const override;
    const std::vector<int>& lengthWeightsLevel5() const override;
};

}  // namespace wv
