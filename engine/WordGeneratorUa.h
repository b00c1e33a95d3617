#pragma once

#include "engine/WordGeneratorBase.h"
#include "languages/LetterGroups.h"

namespace wv {

class WordGeneratorUa : public WordGeneratorBase {
  public:
    explicit WordGeneratorUa(const WordGeneratorLanguage& langData, Bundle bundle = Bundle::main())
        : WordGeneratorBase(Language::ua, langData, std::move(bundle)) {}

    std::vector<std::string> letterGroups() const override {
        return ::wv::letterGroups(Language::ua);
    }
    const std::vector<int>& lengthWeightsLevel0() const override;
    const std::vector<int>& lengthWeightsLevel5() const override;
};

}  // namespace wv
