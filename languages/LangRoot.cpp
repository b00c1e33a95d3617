#include "languages/LangRoot.h"

#include "languages/layouts/KeyMapDe.h"
#include "languages/layouts/KeyMapEn.h"
#include "languages/layouts/KeyMapEs.h"
#include "languages/layouts/KeyMapFr.h"
#include "languages/layouts/KeyMapGr.h"
#include "languages/layouts/KeyMapIt.h"
#include "languages/layouts/KeyMapPr.h"
#include "languages/layouts/KeyMapRu.h"
#include "languages/layouts/KeyMapTr.h"
#include "languages/layouts/KeyMapUk.h"
#include "platform/foundation/Log.h"

namespace wv {

namespace {

struct Entry {
    Language type;
    const char* flag;
    std::unique_ptr<KeyMapBase> (*makeKeys)();
    float wpmRatio;
};

template <class KeyMap>
std::unique_ptr<KeyMapBase> make() {
    return std::make_unique<KeyMap>();
}

// The list order is the interface's; wpmRatio is the average number of characters per word.
const Entry kEntries[] = {
    {Language::en, "flagUS", make<KeyMapEn>, 5.1f},
    {Language::de, "flagDE", make<KeyMapDe>, 6.26f},
    {Language::es, "flagES", make<KeyMapEs>, 5.22f},
    {Language::fr, "flagFR", make<KeyMapFr>, 5.13f},
    {Language::it, "flagIT", make<KeyMapIt>, 5.63f},
    {Language::ua, "flagUA", make<KeyMapUk>, 5.82f},
    {Language::ru, "flagRU", make<KeyMapRu>, 6.36f},
    {Language::gr, "flagGR", make<KeyMapGr>, 6.52f},
    {Language::tr, "flagTR", make<KeyMapTr>, 5.51f},
    {Language::pr, "flagBR", make<KeyMapPr>, 5.15f},
};

constexpr std::string_view kMissing = "IMPOSIBRU error: can't get language data for ";

}  // namespace

LangRoot::LangRoot(const WordGeneratorFactory& makeGenerator) {
    auto forward = [this](bool textUpdate) {
        if (!loading_ && onUpdate) onUpdate(textUpdate);
    };
    for (const Entry& e : kEntries) {
        languages_.push_back(std::make_unique<LangData>(e.type, e.flag, e.makeKeys, e.wpmRatio,
                                                        forward, makeGenerator));
    }
}

LangData& LangRoot::getLang(Language type) const {
    for (const auto& data : languages_) {
        if (data->type() == type) return *data;
    }
    Log::print(std::string(kMissing) + std::string(languageName(type)));
    return *languages_.front();
}

std::string LangRoot::lessonLetters(int index, Language lang) const {
    WordGenerator* generator = getLang(lang).generator();
    if (!generator) return {};
    auto groups = generator->letterGroups();
    if (index < 0 || size_t(index) >= groups.size()) return {};
    return groups[size_t(index)];
}

Language LangRoot::languageForCode(std::string_view code) const {
    for (const auto& data : languages_) {
        if (data->code() == code) return data->type();
    }
    Log::print(std::string(kMissing) + std::string(code));
    return languages_.front()->type();
}

void LangRoot::load(const plist::Dictionary& dictionary) {
    loading_ = true;
    for (const auto& data : languages_) data->load(dictionary);
    loading_ = false;
    if (onUpdate) onUpdate(true);
}

}  // namespace wv
