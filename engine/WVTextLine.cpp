#include "engine/WVTextLine.h"

#include <chrono>

#include "engine/LessonStats.h"
#include "engine/LineMeasures.h"
#include "languages/LangData.h"
#include "languages/SymbolText.h"
#include "platform/foundation/Text.h"

namespace wv {

namespace {

constexpr int kLineLength = 100;

constexpr RGBColor kBaseForeground = colorWhite;
constexpr RGBColor kCursorColor = colorBlue;
constexpr RGBColor kTypedColor = colorWhiteTranslucent;
constexpr RGBColor kErrorColor = colorError;

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

const KeyMapCombinator* combinatorOf(const LangData* lang) {
    return lang ? lang->keys().layoutData().combinator() : nullptr;
}

}  // namespace

WVTextLine::WVTextLine(LessonStats& statistics, Clock clock)
    : statistics_(statistics), clock_(clock ? std::move(clock) : Clock(steadySeconds)) {}

void WVTextLine::generateNewLine(LangData& langData, MistypesInfo* mistypes) {
    langActive_ = &langData;
    std::string line;
    if (auto* generator = langData.generator()) {
        line = generator->generateText(kLineLength, int(langData.difficulty()), mistypes);
    }
    setText(line);
    newLineCreated.onNext(text_);
    publishNextCharacter();
}

void WVTextLine::setText(const std::string& text) {
    text_ = text;
    characters_ = text::characters(text_);
    cursorPos_ = 0;
    attrText_ = StyledText(characters_, kBaseForeground, StyledText::Alignment::Center);
    attrText_.setBackground(0, kCursorColor);
    mistypes_.clear();
    timeStart_.reset();
    timeTotal_ = 0;
    finished_ = false;
    // A dead key typed at the end of the last line belongs to no character of this one.
    passedFirstCompoundChar_ = false;
}

bool WVTextLine::typeCharacter(std::string_view typed) {
    if (finished_ || !langActive_) return false;
    if (!timeStart_) timeStart_ = clock_();

    bool result = false;
    if (auto expected = expectedCharacter(false)) {
        const std::string& e = *expected;
        const auto* combinator = combinatorOf(langActive_);
        if (typed == e) {
            passedFirstCompoundChar_ = false;
            advanceCursor({}, true);
            result = true;
        } else if (combinator && combinator->contains(e) && typeCompoundKey(typed, e)) {
            result = true;
        } else {
            passedFirstCompoundChar_ = false;
            advanceCursor(e + std::string(typed), false);
        }
    }
    publishNextCharacter();
    return result;
}

bool WVTextLine::typeCompoundKey(std::string_view typed, const std::string& expected) {
    const auto* combinator = combinatorOf(langActive_);
    if (!combinator) return false;
    if (passedFirstCompoundChar_) {
        if (!combinator->isSecondKey(typed, expected)) return false;
        passedFirstCompoundChar_ = false;
        advanceCursor({}, true);
        return true;
    }
    if (!combinator->isFirstKey(typed, expected)) return false;
    passedFirstCompoundChar_ = true;
    return true;
}

void WVTextLine::advanceCursor(std::string_view pair, bool right) {
    attrText_.setBackground(size_t(cursorPos_), colorClear);
    if (right) {
        attrText_.setForeground(size_t(cursorPos_), kTypedColor);
    } else {
        markMistypedCharacter(cursorPos_);
        mistypes_.add(pair, cursorPos_);
        sound.play();
    }
    ++cursorPos_;
    if (isComplete()) {
        lineCompleted();
    } else {
        markCursorCharacter(cursorPos_);
    }
}

bool WVTextLine::deleteBackward() {
    if (finished_ || cursorPos_ < 1) return false;
    attrText_.setBackground(size_t(cursorPos_), colorClear);
    --cursorPos_;
    if (characters_[size_t(cursorPos_)] == " ") attrText_.replaceCharacter(size_t(cursorPos_), " ");
    markCursorCharacter(cursorPos_);
    // A dead key pressed before Delete must not combine with the key after it.
    passedFirstCompoundChar_ = false;
    publishNextCharacter();
    return true;
}

std::optional<std::string> WVTextLine::expectedCharacter(bool compound) const {
    if (!langActive_ || cursorPos_ >= int(characters_.size())) return std::nullopt;
    const std::string& c = characters_[size_t(cursorPos_)];
    if (compound) {
        if (const auto* combinator = combinatorOf(langActive_)) {
            if (auto sequence = combinator->sequence(c)) {
                // A sequence is two code points: the dead key, then the letter.
                const auto deadKey = symbol::firstCodePoint(*sequence);
                return std::string(passedFirstCompoundChar_ ? sequence->substr(deadKey.size())
                                                            : deadKey);
            }
        }
    }
    return c;
}

int WVTextLine::currentSpeed() const {
    if (!timeStart_) return 0;
    const double seconds = finished_ ? timeTotal_ : secondsSinceStart();
    return charactersPerMinute(cursorPos_, seconds);
}

bool WVTextLine::isComplete() const { return cursorPos_ == int(characters_.size()); }

void WVTextLine::lineCompleted() {
    // Every typo shows at the end, also one that was deleted and typed again correctly.
    for (int position : mistypes_.pos) markMistypedCharacter(position);
    // A line is finished by its last character, not by a non-zero duration: a clock that did
    // not move must not reopen the line to Delete and a second record.
    finished_ = true;
    timeTotal_ = secondsSinceStart();
    const int speed = charactersPerMinute(cursorPos_, timeTotal_);
    const int accuracy = accuracyPercent(cursorPos_, mistypes_.count());
    bool stored = false;
    if (accuracy >= kMinStoredAccuracy && langActive_) {
        const auto row = LessonsStatsDBTable::rowDictionary(timeTotal_, speed, mistypes_.pairs,
                                                            accuracy, *langActive_);
        stored = statistics_.addLesson(row, true).has_value();
    }
    // A line whose row could not be written left no record either.
    statistics_.sessionSkipped = !stored;
    if (callbackLineComplete) callbackLineComplete();
}

void WVTextLine::markMistypedCharacter(int position) {
    const auto index = size_t(position);
    if (characters_[index] == " ") attrText_.replaceCharacter(index, std::string(visibleSpaceMark));
    attrText_.setForeground(index, kErrorColor);
}

void WVTextLine::markCursorCharacter(int position) {
    attrText_.setBackground(size_t(position), kCursorColor);
    attrText_.setForeground(size_t(position), kBaseForeground);
}

void WVTextLine::publishNextCharacter() { nextCharacterBehavior.onNext(expectedCharacter(true)); }

double WVTextLine::secondsSinceStart() const { return timeStart_ ? clock_() - *timeStart_ : 0.0; }

}  // namespace wv
