#include "storage/Config.h"

#include <filesystem>
#include <system_error>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/plist/UserDefaults.h"
#include "storage/DictionaryUtils.h"
#include "storage/FS.h"

namespace wv {

namespace {

constexpr std::string_view kLanguage = "language";
constexpr std::string_view kSpeedType = "speedType";
constexpr std::string_view kSameLang = "sameLangOfUIAndTyping";
constexpr std::string_view kHandsOn = "handsOn";
constexpr std::string_view kKeyHintsOn = "keyHintsOn";
constexpr std::string_view kSoundOn = "soundOn";
constexpr std::string_view kPressEnterCounter = "pressEnterCounter";

// Checked against the enumeration's bounds here rather than through the language library,
// which sits above storage.
std::optional<Language> languageFromStored(int64_t raw) {
    if (raw < rawValue(Language::en) || raw > rawValue(Language::pr)) return std::nullopt;
    return static_cast<Language>(raw);
}

}  // namespace

std::optional<SpeedType> speedTypeFromRawValue(int64_t raw) {
    if (raw == 0) return SpeedType::CPM;
    if (raw == 1) return SpeedType::WPM;
    return std::nullopt;
}

Config::Config() = default;

void Config::setLanguage(Language language) {
    language_ = language;
    if (onLangDidSet) onLangDidSet();
    notifyChange(ConfigUpdate::TextUpdate);
}

void Config::setSpeedType(SpeedType speedType) {
    speedType_ = speedType;
    notifyChange(ConfigUpdate::Normal);
}

void Config::setSameLangOfUIAndTyping(bool on) {
    sameLangOfUIAndTyping_ = on;
    notifyChange(ConfigUpdate::Normal);
}

void Config::setHandsOn(bool on) {
    handsOn_ = on;
    notifyChange(ConfigUpdate::Normal);
}

void Config::setKeyHintsOn(bool on) {
    keyHintsOn_ = on;
    notifyChange(ConfigUpdate::Normal);
}

void Config::setSoundOn(bool on) {
    soundOn_ = on;
    notifyChange(ConfigUpdate::Normal);
}

void Config::notifyChange(ConfigUpdate update) { didChange.onNext(update); }

plist::Dictionary Config::toDictionary() const {
    plist::Dictionary d;
    d.set(std::string(kLanguage), int64_t(rawValue(language_)));
    d.set(std::string(kSpeedType), int64_t(static_cast<int>(speedType_)));
    d.set(std::string(kSameLang), sameLangOfUIAndTyping_);
    d.set(std::string(kHandsOn), handsOn_);
    d.set(std::string(kKeyHintsOn), keyHintsOn_);
    d.set(std::string(kSoundOn), soundOn_);
    d.set(std::string(kPressEnterCounter), pressEnterCounter_);
    return d;
}

void Config::load(const plist::Dictionary& d) {
    // Every value is stored even when unchanged, so observers always see the same sequence.
    setLanguage(languageFromStored(intForKey(d, kLanguage, 0)).value_or(Language::en));
    setSpeedType(speedTypeFromRawValue(intForKey(d, kSpeedType, 0)).value_or(SpeedType::CPM));
    setHandsOn(boolForKey(d, kHandsOn, true));
    setKeyHintsOn(boolForKey(d, kKeyHintsOn, true));
    setSoundOn(boolForKey(d, kSoundOn, true));
    setPressEnterCounter(intForKey(d, kPressEnterCounter, 0));
    setSameLangOfUIAndTyping(boolForKey(d, kSameLang, false));
}

void Config::resetToFirstLaunch() {
    auto path = FS::appSupportURL() / "config.plist";
    Log::print("DELETED CONFIG FILE : " + path.string());
    std::error_code ec;
    std::filesystem::remove(path, ec);
    const std::string identifier = Bundle::main().identifier();
    if (!identifier.empty()) UserDefaults::standard().removePersistentDomain(identifier);
}

std::string Config::appVersionString() {
    const Bundle& bundle = Bundle::main();
    return appVersionString(bundle.shortVersion(), bundle.buildVersion());
}

std::string Config::appVersionString(std::string_view shortVersion, std::string_view build) {
    std::string text(shortVersion);
    text += " (";
    text += build;
    text += ")";
    return text;
}

}  // namespace wv
