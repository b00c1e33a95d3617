#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "languages/Language.h"
#include "platform/plist/Value.h"
#include "platform/rx/BehaviorSubject.h"

namespace wv {

// The unit speeds are shown in; the raw value is what the settings file stores.
enum class SpeedType : int { CPM = 0, WPM = 1 };
std::optional<SpeedType> speedTypeFromRawValue(int64_t raw);

// What a settings change asks of its observers: `TextUpdate` when the learning language was
// set (the exercise line must be rebuilt), `Normal` for every other setting.
enum class ConfigUpdate { Normal, TextUpdate };

// The application-wide settings. Every store of a switch or of the speed unit is announced on
// `didChange` right after it happens, so the sidebar needs to do no more than store.
class Config {
  public:
    Config();

    // Called after the learning language is set, before the change is announced.
    std::function<void()> onLangDidSet = [] {};
    // Starts with `Normal`; a new subscriber first receives the latest event.
    rx::BehaviorSubject<ConfigUpdate> didChange{ConfigUpdate::Normal};

    Language language() const { return language_; }
    void setLanguage(Language language);
    SpeedType speedType() const { return speedType_; }
    void setSpeedType(SpeedType speedType);
    bool sameLangOfUIAndTyping() const { return sameLangOfUIAndTyping_; }
    void setSameLangOfUIAndTyping(bool on);
    bool handsOn() const { return handsOn_; }
    void setHandsOn(bool on);
    bool keyHintsOn() const { return keyHintsOn_; }
    void setKeyHintsOn(bool on);
    bool soundOn() const { return soundOn_; }
    void setSoundOn(bool on);
    // Not announced: the tip logic that raises it sends `Normal` itself.
    int64_t pressEnterCounter() const { return pressEnterCounter_; }
    void setPressEnterCounter(int64_t count) { pressEnterCounter_ = count; }

    void notifyChange(ConfigUpdate update);

    // The seven application-wide entries of the settings file.
    plist::Dictionary toDictionary() const;
    // Applies a settings dictionary (other keys are ignored). Missing, mistyped or unknown
    // values take their defaults. Always sends one `TextUpdate` and then five `Normal`.
    void load(const plist::Dictionary& dictionary);

    // Removes "config.plist" and the application's stored preferences; this object is kept.
    static void resetToFirstLaunch();
    // "<short version> (<build>)" of the main bundle.
    static std::string appVersionString();
    static std::string appVersionString(std::string_view shortVersion, std::string_view build);

  private:
    Language language_ = Language::en;
    SpeedType speedType_ = SpeedType::CPM;
    bool sameLangOfUIAndTyping_ = false;
    bool handsOn_ = true;
    bool keyHintsOn_ = true;
    bool soundOn_ = true;
    int64_t pressEnterCounter_ = 0;
};

}  // namespace wv
