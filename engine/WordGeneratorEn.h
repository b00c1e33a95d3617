#pragma once

#include "engine/WordGeneratorBase.h"

namespace wv {

class WordGeneratorEn : public WordGeneratorBase {
public:
    explicit WordGeneratorEn(const WordGeneratorLanguage& langData, Bundle bundle = Bundle::main())
        : WordGeneratorBase(Language::en, langData, std::move(bundle)) {}

    LetterGroupTable letterGroups() const override { return *letterGroupsOf("en"); }
    const std::vector<int>& lengthWeightsLevel0() const override;
    const std::vector<int>& lengthWeightsLevel5() const override;
    std::string filterWords() const override;
};

}  // namespace wv
