#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ErrorSound.h"
#include "engine/Mistypes.h"
#include "engine/StyledText.h"
#include "platform/rx/BehaviorSubject.h"
#include "platform/rx/PublishSubject.h"

namespace wv {

class LangData;
class LessonStats;
class MistypesInfo;

// The exercise line being typed: its text, the cursor, the styled text the screen shows, the
// line's clock, its typos and the state of a dead-key sequence. Every key moves the cursor on,
// right or wrong; the last one finishes the line, which is stored as a lesson record when it
// was accurate enough. One instance, reused for every line; main thread only.
class WVTextLine {
  public:
    // Seconds on any steady scale; only differences are used.
    using Clock = std::function<double()>;

    explicit WVTextLine(LessonStats& statistics, Clock clock = {});
    virtual ~WVTextLine() = default;
    WVTextLine(const WVTextLine&) = delete;
    WVTextLine& operator=(const WVTextLine&) = delete;

    // The character to type next (a dead key or its letter inside a composed character).
    rx::BehaviorSubject<std::optional<std::string>> nextCharacterBehavior{std::nullopt};
    // The text of every new line, before its first expected character.
    rx::PublishSubject<std::string> newLineCreated;

    // A new line of 100 characters for the language's current lesson.
    void generateNewLine(LangData& langData, MistypesInfo* mistypes);
    // Installs a text with the cursor at its start; the dead-key state starts afresh.
    void setText(const std::string& text);

    // True when the key was right (a dead key of the expected character included); false on a
    // typo or when the line takes no keys (none yet, or finished).
    bool typeCharacter(std::string_view typed);
    // True when the cursor moved back. Recorded typos stay recorded.
    virtual bool deleteBackward();
    // The character at the cursor; with `compound`, the key to press for it next.
    virtual std::optional<std::string> expectedCharacter(bool compound) const;
    // Characters per minute so far; 0 before the first key.
    virtual int currentSpeed() const;
    virtual bool isComplete() const;

    const std::string& text() const { return text_; }
    int cursorPos() const { return cursorPos_; }
    const Mistypes& mistypes() const { return mistypes_; }
    const StyledText& attrText() const { return attrText_; }
    std::optional<double> timeStart() const { return timeStart_; }
    // 0 while the line runs; its duration in seconds once finished.
    double timeTotal() const { return timeTotal_; }
    // Set by the last character, also when the line took no measurable time.
    bool isFinished() const { return finished_; }
    LangData* langActive() const { return langActive_; }
    bool passedFirstCompoundChar() const { return passedFirstCompoundChar_; }
    LessonStats& statistics() const { return statistics_; }

    ErrorSound sound;
    std::function<void()> callbackLineComplete;

  protected:
    virtual void lineCompleted();

  private:
    bool typeCompoundKey(std::string_view typed, const std::string& expected);
    void advanceCursor(std::string_view pair, bool right);
    void markMistypedCharacter(int position);
    void markCursorCharacter(int position);
    void publishNextCharacter();
    double secondsSinceStart() const;

    LessonStats& statistics_;
    Clock clock_;
    std::string text_;
    std::vector<std::string> characters_;
    int cursorPos_ = 0;
    StyledText attrText_;
    Mistypes mistypes_;
    std::optional<double> timeStart_;
    double timeTotal_ = 0;
    bool finished_ = false;
    LangData* langActive_ = nullptr;
    bool passedFirstCompoundChar_ = false;
};

}  // namespace wv
