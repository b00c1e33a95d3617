#pragma once

#include "engine/WordGeneratorBase.h"

namespace wv {

class WordGeneratorUa : public WordGeneratorBase {
public:
    explicit WordGeneratorUa(const WordGeneratorLanguage& langData, Bundle bundle = Bundle::main())
        : WordGeneratorBase(Language::ua, langData, std::move(bundle)) {}

    LetterGroupTable letterGroups() const override { return *letterGroupsOf("ua"); }
    const std::vector<int>& lengthWeightsLevel0() const override;
    const std::vector<int>& lengthWeightsLevel5() const override;
};

}  // namespace wv
