#include "languages/LangData.h"

#include <algorithm>
#include <cctype>

#include "platform/foundation/Text.h"
#include "storage/DictionaryUtils.h"

namespace wv {

namespace {

constexpr int64_t kExpertLesson = 6;

std::string key(std::string_view base, std::string_view suffix, std::string_view tail = {}) {
    std::string k(base);
    k += suffix;
    k += tail;
    return k;
}

}  // namespace

LangData::LangData(Language type, std::string flag, std::unique_ptr<KeyMapBase> keys,
                   float wpmRatio, UpdateCallback onUpdate,
                   const WordGeneratorFactory& makeGenerator)
    : LangData(type, std::move(flag), std::move(keys), nullptr, wpmRatio, std::move(onUpdate),
               makeGenerator) {}

LangData::LangData(Language type, std::string flag, KeyMapMaker makeKeys, float wpmRatio,
                   UpdateCallback onUpdate, const WordGeneratorFactory& makeGenerator)
    : LangData(type, std::move(flag), nullptr, makeKeys, wpmRatio, std::move(onUpdate),
               makeGenerator) {}

LangData::LangData(Language type, std::string flag, std::unique_ptr<KeyMapBase> keys,
                   KeyMapMaker makeKeys, float wpmRatio, UpdateCallback onUpdate,
                   const WordGeneratorFactory& makeGenerator)
    : onUpdate_(std::move(onUpdate)),
      type_(type),
      flag_(std::move(flag)),
      makeKeys_(makeKeys),
      keys_(std::move(keys)),
      wpmRatio_(wpmRatio),
      punctuations_(makePunctuationSelector(PunctuationType::Normal)),
      punctuationsEnd_(makePunctuationSelector(PunctuationType::Ending)) {
    if (type_ == Language::es) {
        if (auto question = punctuationsEnd_->itemForValue("?")) question->inversion = "¿";
        if (auto exclamation = punctuationsEnd_->itemForValue("!")) exclamation->inversion = "¡";
    }
    // A map handed in is used as it stands, its current layout included.
    if (keys_) std::call_once(keysBuilt_, [this] { hasKeys_ = true; });
    if (makeGenerator) generator_ = makeGenerator(*this);
}

const KeyMapBase& LangData::keys() const {
    std::call_once(keysBuilt_, [this] {
        if (!keys_ && makeKeys_) keys_ = makeKeys_();
        // A maker that gave nothing still leaves a map that answers (one empty layout).
        if (!keys_) keys_ = std::make_unique<KeyMapBase>(type_, KeyMapBase::Layouts{});
        if (pendingLayout_ >= 0 && pendingLayout_ < int64_t(keys_->layouts().size())) {
            keys_->selectLayout(int(pendingLayout_));
        }
        hasKeys_ = true;
    });
    return *keys_;
}

bool LangData::hasKeys() const { return hasKeys_; }

// The generator refers back to this object, so it goes first.
LangData::~LangData() { generator_.reset(); }

void LangData::announce(bool textUpdate) {
    if (!loading_ && onUpdate_) onUpdate_(textUpdate);
}

void LangData::setDifficultyAuto(bool on) {
    difficultyAuto_ = on;
    announce(false);
}

void LangData::setDifficulty(int64_t difficulty) {
    difficulty_ = difficulty;
    announce(true);
}

void LangData::setNumbersOn(bool on) {
    numbersOn_ = on;
    announce(true);
}

void LangData::setCapitalsOn(bool on) {
    capitalsOn_ = on;
    announce(true);
}

void LangData::setPunctuationOn(bool on) {
    punctuationOn_ = on;
    announce(true);
}

void LangData::selectLayout(int index) {
    keys();
    if (index < 0 || size_t(index) >= keys_->layouts().size()) return;
    keys_->selectLayout(index);
    announce(true);
}

void LangData::selectLayoutByName(std::string_view name) {
    auto names = keys().layoutNames();
    if (std::find(names.begin(), names.end(), name) == names.end()) return;
    keys_->selectLayoutByName(name);
    announce(true);
}

std::string LangData::code() const {
    std::string code(languageName(type_));
    for (char& c : code) c = char(std::toupper(static_cast<unsigned char>(c)));
    return code;
}

std::string_view LangData::keySuffix() const {
    switch (type_) {
        case Language::en:
            return "Eng";
        case Language::ua:
            return "Ukr";
        case Language::ru:
            return "Rus";
        case Language::de:
            return "De";
        case Language::es:
            return "Es";
        case Language::fr:
            return "Fr";
        case Language::gr:
            return "Grk";
        case Language::tr:
            return "Tur";
        case Language::it:
            return "It";
        case Language::pr:
            return "Pr";
    }
    return "Eng";
}

std::vector<std::string> LangData::groups() const {
    if (!generator_) return {};
    return generator_->letterGroups();
}

std::string LangData::currentLevelLetters() const {
    auto all = groups();
    if (difficulty_ < 0 || difficulty_ >= int64_t(all.size())) return {};
    return all[size_t(difficulty_)];
}

std::vector<std::string> LangData::currentLevelLetterList() const {
    return text::characters(currentLevelLetters());
}

std::string LangData::learnedLetters(int64_t level) const {
    auto all = groups();
    std::string letters;
    if (level >= 0) {
        int64_t last = std::min<int64_t>(level, int64_t(all.size()) - 1);
        for (int64_t i = 0; i <= last; ++i) letters += all[size_t(i)];
    }
    if (numbersOn_) letters += "1234567890";
    if (punctuationOn_) {
        letters += punctuations_->symbols();
        letters += punctuationsEnd_->symbols();
    }
    return letters;
}

plist::Dictionary LangData::toDictionary() const {
    auto s = keySuffix();
    plist::Dictionary d;
    d.set(key("layout", s), hasKeys() ? int64_t(keys_->currentLayoutIndex()) : pendingLayout_);
    d.set(key("difficulty", s), difficulty_);
    d.set(key("difficulty", s, "Auto"), difficultyAuto_);
    d.set(key("capitalsOn", s), capitalsOn_);
    d.set(key("numbersOn", s), numbersOn_);
    d.set(key("punctuationOn", s), punctuationOn_);
    return d;
}

void LangData::load(const plist::Dictionary& d) {
    auto s = keySuffix();
    loading_ = true;
    int64_t layout = intForKey(d, key("layout", s), 0);
    if (hasKeys()) {
        if (layout >= 0 && layout < int64_t(keys_->layouts().size())) {
            keys_->selectLayout(int(layout));
        }
    } else if (layout >= 0) {
        pendingLayout_ = layout;
    }
    setDifficulty(std::clamp<int64_t>(intForKey(d, key("difficulty", s), 0), 0, kExpertLesson));
    setDifficultyAuto(boolForKey(d, key("difficulty", s, "Auto"), true));
    setCapitalsOn(boolForKey(d, key("capitalsOn", s), false));
    setNumbersOn(boolForKey(d, key("numbersOn", s), false));
    setPunctuationOn(boolForKey(d, key("punctuationOn", s), false));
    loading_ = false;
    announce(true);
}

}  // namespace wv
