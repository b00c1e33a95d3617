#include "storage/Local.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <utility>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Log.h"
#include "storage/LocalizedWindows.h"

namespace wv {

std::function<bool()> localUsesLearningLanguage = [] { return false; };
std::function<std::string()> localLearningLanguage = [] { return std::string("en"); };

namespace {

std::atomic<Local*> replacement{nullptr};

std::optional<std::filesystem::path> bundledTable() {
    return Bundle::main().pathForResource("Localizations", "csv");
}

}  // namespace

Local& Local::shared() {
    if (Local* r = replacement.load()) return *r;
    static Local instance;  // created once, even by two first callers at the same time
    return instance;
}

Local* Local::replaceShared(Local* instance) { return replacement.exchange(instance); }

Local::Local() : Local(bundledTable()) {}

Local::Local(const std::optional<std::filesystem::path>& table) {
    if (table) csv = CSV::fromFile(*table);
    if (!csv) Log::print("Can't read Localizations file");
    localeObserver_ = NotificationCenter::defaultCenter().addObserver(
        std::string(kCurrentLocaleDidChangeNotification), nullptr,
        [this](const Notification&) { localeDidChange(); });
}

Local::~Local() { NotificationCenter::defaultCenter().removeObserver(localeObserver_); }

std::string Local::localize(std::string_view key) { return valueForKey(key); }

std::string Local::valueForKey(std::string_view key) {
    const Column* current = currentLang();
    const std::string k(key);
    if (!current) {
        Log::print("ACHTUNG in Local: currentLang is nil");
        return k;
    }
    if (auto it = current->find(k); it != current->end() && !it->second.empty()) return it->second;
    if (auto it = en.find(k); it != en.end()) return it->second;
    Log::print("ACHTUNG in Local: can't find value for key " + k);
    return k;
}

void Local::setInterfaceLanguage(std::string_view language) {
    if (en.empty()) en = readLanguageColumn("en");
    const std::string name(language);
    auto it = langs.find(name);
    if (it == langs.end()) it = langs.emplace(name, readLanguageColumn(name)).first;
    _currentLang = &it->second;
}

const Local::Column* Local::currentLang() {
    if (_currentLang) return _currentLang;
    const bool followsLearning = localUsesLearningLanguage && localUsesLearningLanguage();
    if (followsLearning) {
        shared().setInterfaceLanguage(localLearningLanguage ? localLearningLanguage() : "en");
        refreshLocalizedWindows();
    } else {
        switchToSystemLanguage();
    }
    return _currentLang;
}

Local::Column Local::readLanguageColumn(std::string_view name) const {
    Column column;
    const std::string columnName(name);
    const bool present = csv && std::find(csv->header().begin(), csv->header().end(), columnName) !=
                                    csv->header().end();
    if (present) {
        csv->enumerateAsDict([&](const CSV::Row& row) {
            auto id = row.find("id");
            if (row.empty() || id == row.end()) return;
            // A later row with the same key wins, also when it has no text for this column.
            if (auto field = row.find(columnName); field != row.end()) {
                column[id->second] = field->second;
            } else {
                column.erase(id->second);
            }
        });
    } else {
        Log::print("ACHTUNG! PZDZ!!! Can't read data from csv for language : " + columnName);
    }
    return column.empty() ? en : column;
}

std::optional<std::string> Local::systemLanguageCode() { return Locale::currentLanguageCode(); }

std::string Local::systemInterfaceLanguage() {
    const std::string code = systemLanguageCode().value_or("");
    if (code == "uk") return "ua";
    if (code == "en" || code == "ru" || code == "de") return code;
    return "en";
}

void Local::switchToSystemLanguage() {
    Log::print("Localization: switching to system language " +
               systemLanguageCode().value_or("unknown"));
    shared().setInterfaceLanguage(systemInterfaceLanguage());
    refreshLocalizedWindows();
}

void Local::refreshLocalizedWindows() { LocalizedWindows::shared().relocalize(); }

void Local::localeDidChange() { refreshLocalizedWindows(); }

}  // namespace wv
