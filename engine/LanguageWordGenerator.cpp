#include "engine/LanguageWordGenerator.h"

#include "languages/LangData.h"

namespace wv {

LanguageWordGenerator::LanguageWordGenerator(LangData& langData, Bundle bundle)
    : langData_(langData), base_(makeWordGenerator(langData.type(), *this, std::move(bundle))) {}

WordGeneratorFactory LanguageWordGenerator::factory(Bundle bundle) {
    return [bundle](LangData& langData) {
        return std::make_unique<LanguageWordGenerator>(langData, bundle);
    };
}

std::vector<std::string> LanguageWordGenerator::letterGroups() const {
    std::vector<std::string> groups;
    for (std::string_view group : base_->letterGroups()) groups.emplace_back(group);
    return groups;
}

std::string LanguageWordGenerator::generateText(int length, int level,
                                                const MistypesInfo* mistypes) {
    // The pool belongs to the learning assistant, which made it mutable and hands it over so
    // that the line uses it up; a restarted line then practises what is left. The pointer is
    // only borrowed for this call, hence the deleter that does nothing.
    std::shared_ptr<MistypesInfo> pool(const_cast<MistypesInfo*>(mistypes), [](MistypesInfo*) {});
    return base_->generateText(length, level, mistypes ? pool : nullptr);
}

int LanguageWordGenerator::difficulty() const { return int(langData_.difficulty()); }
bool LanguageWordGenerator::numbersOn() const { return langData_.numbersOn(); }
bool LanguageWordGenerator::capitalsOn() const { return langData_.capitalsOn(); }
bool LanguageWordGenerator::punctuationOn() const { return langData_.punctuationOn(); }

std::shared_ptr<WVPunctuationSelector> LanguageWordGenerator::punctuations() const {
    return langData_.punctuations();
}

std::shared_ptr<WVPunctuationSelector> LanguageWordGenerator::punctuationsEnd() const {
    return langData_.punctuationsEnd();
}

Capitalizer LanguageWordGenerator::capitalizer() const {
    return Capitalizer::forKeyMap(langData_.keys());
}

}  // namespace wv
