#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "languages/KeyMapBase.h"
#include "languages/Language.h"
#include "languages/WVPunctuationSelector.h"
#include "languages/WordGenerator.h"
#include "platform/plist/Value.h"

namespace wv {

// Everything kept about one learning language: what it is, how it is typed (its key map and
// chosen layout), how its exercises are made (word generator, punctuation) and the learner's
// settings for it. Lives for the whole process.
class LangData {
  public:
    // Told of every settings change; true when the exercise text must be made anew.
    using UpdateCallback = std::function<void(bool)>;

    // Makes the key map; LangData calls it at most once, on the first use of keys().
    using KeyMapMaker = std::unique_ptr<KeyMapBase> (*)();

    // `flag` names the flag image. The generator is made last, once this object is complete.
    LangData(Language type, std::string flag, std::unique_ptr<KeyMapBase> keys, float wpmRatio,
             UpdateCallback onUpdate, const WordGeneratorFactory& makeGenerator);
    // The key map is built only when first asked for: a learner types one language, and the
    // tables of every layout of all the others would be built and kept for nothing. The
    // layout the settings chose waits until then.
    LangData(Language type, std::string flag, KeyMapMaker makeKeys, float wpmRatio,
             UpdateCallback onUpdate, const WordGeneratorFactory& makeGenerator);
    ~LangData();
    LangData(const LangData&) = delete;
    LangData& operator=(const LangData&) = delete;

    Language type() const { return type_; }
    const std::string& flag() const { return flag_; }
    // Layout changes go through selectLayout / selectLayoutByName below so they are announced.
    // Safe to call from the thread that makes exercise text while the main thread reads it.
    const KeyMapBase& keys() const;
    // Whether the key map has been built (it is, once keys() was called).
    bool hasKeys() const;
    float wpmRatio() const { return wpmRatio_; }
    WordGenerator* generator() const { return generator_.get(); }
    // Marks between words and marks that end a sentence; their cycles run on across lines.
    const std::shared_ptr<WVPunctuationSelector>& punctuations() const { return punctuations_; }
    const std::shared_ptr<WVPunctuationSelector>& punctuationsEnd() const {
        return punctuationsEnd_;
    }

    // Each store is announced (see UpdateCallback), also when the value is unchanged.
    bool difficultyAuto() const { return difficultyAuto_; }
    void setDifficultyAuto(bool on);
    // The lesson: 0..5 the letter groups, 6 the expert lesson.
    int64_t difficulty() const { return difficulty_; }
    void setDifficulty(int64_t difficulty);
    bool numbersOn() const { return numbersOn_; }
    void setNumbersOn(bool on);
    bool capitalsOn() const { return capitalsOn_; }
    void setCapitalsOn(bool on);
    bool punctuationOn() const { return punctuationOn_; }
    void setPunctuationOn(bool on);
    // Announced when a layout was made current; an unknown index or name changes nothing.
    void selectLayout(int index);
    void selectLayoutByName(std::string_view name);

    // "EN", "UA", ...: the titles of the settings' language list.
    std::string code() const;
    // The suffix of this language's settings keys ("Eng", "Ukr", "Grk", ...).
    std::string_view keySuffix() const;
    // The letters the current lesson introduces; empty for the expert lesson.
    std::string currentLevelLetters() const;
    std::vector<std::string> currentLevelLetterList() const;
    // Every letter learned up to `level`, then the digits and marks the options add.
    std::string learnedLetters(int64_t level) const;

    // The six suffixed entries of the settings file.
    plist::Dictionary toDictionary() const;
    // Applies the entries (missing or mistyped ones take their defaults; a lesson outside
    // 0..6 is clamped). The stores are announced once, at the end, not one by one.
    void load(const plist::Dictionary& dictionary);

  private:
    LangData(Language type, std::string flag, std::unique_ptr<KeyMapBase> keys,
             KeyMapMaker makeKeys, float wpmRatio, UpdateCallback onUpdate,
             const WordGeneratorFactory& makeGenerator);
    std::vector<std::string> groups() const;
    void announce(bool textUpdate);

    UpdateCallback onUpdate_;
    Language type_;
    std::string flag_;
    KeyMapMaker makeKeys_ = nullptr;
    mutable std::once_flag keysBuilt_;
    mutable std::unique_ptr<KeyMapBase> keys_;
    mutable std::atomic<bool> hasKeys_ = false;
    // The layout load() found while the key map did not exist yet; unchecked until then.
    int64_t pendingLayout_ = 0;
    float wpmRatio_;
    std::unique_ptr<WordGenerator> generator_;
    std::shared_ptr<WVPunctuationSelector> punctuations_;
    std::shared_ptr<WVPunctuationSelector> punctuationsEnd_;
    bool difficultyAuto_ = true;
    int64_t difficulty_ = 0;
    bool numbersOn_ = false;
    bool capitalsOn_ = false;
    bool punctuationOn_ = false;
    bool loading_ = false;
};

}  // namespace wv
