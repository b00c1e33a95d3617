#pragma once

#include "engine/WordGeneratorBase.h"

namespace wv {

class WordGeneratorDe : public WordGeneratorBase {
public:
    explicit WordGeneratorDe(const WordGeneratorLanguage& langData, Bundle bundle = Bundle::main())
        : WordGeneratorBase(Language::de, langData, std::move(bundle)) {}

    LetterGroupTable letterGroups() const override { return *letterGroupsOf("de"); }
    const std::vector<int>& lengthWeightsLevel0() const override;
    const std::vector<int>& lengthWeightsLevel1() const override;
    const std::vector<int>& lengthWeightsLevel2() const override;
    const std::vector<int>& lengthWeightsLevel5() const override;
};

}  // namespace wv
