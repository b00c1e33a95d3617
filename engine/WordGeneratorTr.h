#pragma once

#include "engine/WordGeneratorBase.h"
#include "languages/LetterGroups.h"

namespace wv {

class WordGeneratorTr : public WordGeneratorBase {
  public:
    explicit WordGeneratorTr(const WordGeneratorLanguage& langData, Bundle bundle = Bundle::main())
        : WordGeneratorBase(Language::tr, langData, std::move(bundle)) {}

    std::vector<std::string> letterGroups() const override {
        return ::wv::letterGroups(Language::tr);
    }
    const std::vector<int>& lengthWeightsLevel0() const override;
    const std::vector<int>& lengthWeightsLevel1() const override;
    const std::vector<int>& lengthWeightsLevel2() const override;
    const std::vector<int>& lengthWeightsLevel3() const override;
    const std::vector<int>& lengthWeightsLevel4() const override;
    const std::vector<int>& lengthWeightsLevel5() const override;
};

}  // namespace wv
