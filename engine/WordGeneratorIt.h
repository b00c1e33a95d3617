#pragma once

#include "engine/WordGeneratorBase.h"
#include "languages/LetterGroups.h"

namespace wv {

class WordGeneratorIt : public WordGeneratorBase {
  public:
    explicit WordGeneratorIt(const WordGeneratorLanguage& langData, Bundle bundle = Bundle::main())
        : WordGeneratorBase(Language::it, langData, std::move(bundle)) {}

    std::vector<std::string> letterGroups() const override {
        return ::wv::letterGroups(Language::it);
    }
    const std::vector<int>& lengthWeightsLevel0() const override;
    const std::vector<int>& lengthWeightsLevel1() const override;
    const std::vector<int>& lengthWeightsLevel2() const override;
    const std::vector<int>& lengthWeightsLevel3() const override;
    const std::vector<int>& lengthWeightsLevel4() const override;
    const std::vector<int>& lengthWeightsLevel5() const override;
};

}  // namespace wv
