#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "languages/LangData.h"
#include "languages/Language.h"
#include "languages/WordGenerator.h"
#include "platform/plist/Value.h"

namespace wv {

// The ten learning languages in the fixed order every list of the interface shows them in
// (not the order of their raw values). Built once; the list never changes afterwards.
class LangRoot {
  public:
    // `makeGenerator` makes each language's word generator (the lesson engine's).
    explicit LangRoot(const WordGeneratorFactory& makeGenerator);
    LangRoot(const LangRoot&) = delete;
    LangRoot& operator=(const LangRoot&) = delete;

    // Told of every change of a language's settings (true: the exercise text must be made
    // anew). The languages call whatever it holds at the time of the change, so it may be
    // assigned after construction.
    std::function<void(bool)> onUpdate = [](bool) {};

    const std::vector<std::unique_ptr<LangData>>& languages() const { return languages_; }

    // The entry of `type`; English, with a message, when the list lacks it.
    LangData& getLang(Language type) const;
    // The letters lesson `index` (0..5) of `lang` introduces; empty for any other index.
    std::string lessonLetters(int index, Language lang) const;
    // The language whose code ("EN", "DE", ...) is `code`; English, with a message, for
    // anything else (the comparison is case-sensitive).
    Language languageForCode(std::string_view code) const;

    // Applies the settings of all ten languages, in list order, and announces the whole as
    // one change rather than one per language.
    void load(const plist::Dictionary& dictionary);

  private:
    std::vector<std::unique_ptr<LangData>> languages_;
    bool loading_ = false;
};

}  // namespace wv
