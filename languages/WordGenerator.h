#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wv {

class LangData;
class MistypesInfo;

// What a learning language asks of its word generator. The lesson engine implements it (one
// generator per language); the language tree only holds it and reads its letter groups.
class WordGenerator {
  public:
    virtual ~WordGenerator() = default;

    // The letters lessons 0 to 5 introduce, one text per lesson, in learning order.
    virtual std::vector<std::string> letterGroups() const = 0;

    // One exercise line of about `length` characters for lesson `level` (0..5, 6 the expert
    // lesson), practising the letters in `mistypes` when given. Marks come from the owning
    // language's punctuation selectors, so their cycles run on across lines.
    virtual std::string generateText(int length, int level, MistypesInfo* mistypes) = 0;
};

// Makes the generator of a language while its LangData is being built. The generator may keep
// the LangData as a plain back reference: the LangData owns it and always outlives it.
using WordGeneratorFactory = std::function<std::unique_ptr<WordGenerator>(LangData&)>;

}  // namespace wv
