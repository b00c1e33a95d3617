#pragma once

#include "engine/WordGeneratorBase.h"

namespace wv {

class WordGeneratorIt : public WordGeneratorBase {
public:
    explicit WordGeneratorIt(const WordGeneratorLanguage& langData, Bundle bundle = Bundle::main())
        : WordGeneratorBase(Language::it, langData, std::move(bundle)) {}

    LetterGroupTable letterGroups() const override { return *letterGroupsOf("it"); }
    const std::vector<int>& lengthWeightsLevel0() const override;
    const std::vector<int>& lengthWeightsLevel1() const override;
    const std::vector<int>& lengthWeightsLevel2() const override;
    const std::vector<int>& lengthWeightsLevel3() const override;
    const std::vector<int>& lengthWeightsLevel4() const override;
    const std::vector<int>& lengthWeightsLevel5() const override;
};

}  // namespace wv
