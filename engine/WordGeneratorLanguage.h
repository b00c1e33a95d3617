#pragma once

#include <memory>

#include "engine/Capitalizer.h"
#include "languages/WVPunctuationSelector.h"

namespace wv {

// What a word generator reads of its language while it builds a line: the lesson level, the
// options and the punctuation sources. The language's own data (LangData) answers it; the
// generator keeps a reference and never outlives it.
class WordGeneratorLanguage {
  public:
    virtual ~WordGeneratorLanguage() = default;

    virtual int difficulty() const = 0;  // 0..5 the lessons with letter groups, 6 expert
    virtual bool numbersOn() const = 0;
    virtual bool capitalsOn() const = 0;
    virtual bool punctuationOn() const = 0;
    virtual std::shared_ptr<WVPunctuationSelector> punctuations() const = 0;
    virtual std::shared_ptr<WVPunctuationSelector> punctuationsEnd() const = 0;
    // The language's case rules and the current layout's typeable capitals.
    virtual Capitalizer capitalizer() const { return {}; }
};

// Plain settings, for tools and tests.
class WordGeneratorSettings : public WordGeneratorLanguage {
  public:
    int level = 0;
    bool numbers = false;
    bool capitals = false;
    bool punctuation = false;
    std::shared_ptr<WVPunctuationSelector> normal =
        makePunctuationSelector(PunctuationType::Normal);
    std::shared_ptr<WVPunctuationSelector> ending =
        makePunctuationSelector(PunctuationType::Ending);

    int difficulty() const override { return level; }
    bool numbersOn() const override { return numbers; }
    bool capitalsOn() const override { return capitals; }
    bool punctuationOn() const override { return punctuation; }
    std::shared_ptr<WVPunctuationSelector> punctuations() const override { return normal; }
    std::shared_ptr<WVPunctuationSelector> punctuationsEnd() const override { return ending; }
};

}  // namespace wv
