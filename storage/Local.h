#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/csv/CSV.h"
#include "platform/foundation/NotificationCenter.h"

namespace wv {

// Interface languages are named by the learning language's case name ("en", "ua", ... "pr"),
// which is also the name of their column in "Localizations.csv".

// Whether the interface follows the learning language (by default it follows the system), and
// which learning language that is (by default "en"). The model points them at its settings;
// `Local` only reads them, at every use.
extern std::function<bool()> localUsesLearningLanguage;
extern std::function<std::string()> localLearningLanguage;

// Every text the interface shows, by key, in the current interface language, with the English
// column and then the key itself as fall-backs. Main thread only, except the creation of
// `shared()`.
class Local {
public:
    using Column = std::unordered_map<std::string, std::string>;

    // The instance the whole program uses: created on first use from the bundle's table.
    static Local& shared();
    // Makes `instance` the shared one (nullptr returns to the default); returns the previous
    // replacement. For tests.
    static Local* replaceShared(Local* instance);

    Local();  // the bundle resource "Localizations.csv"
    explicit Local(const std::optional<std::filesystem::path>& table);
    virtual ~Local();
    Local(const Local&) = delete;
    Local& operator=(const Local&) = delete;

    virtual std::string localize(std::string_view key);
    std::string valueForKey(std::string_view key);
    // Makes the language's column current; does not re-localise the windows.
    virtual void setInterfaceLanguage(std::string_view language);
    // The current column, choosing the interface language first when none is current yet.
    const Column* currentLang();
    Column readLanguageColumn(std::string_view name) const;

    // The interface language for the system locale: "uk" gives "ua"; "en", "ru" and "de" give
    // themselves; anything else, or no language at all, gives "en".
    static std::string systemInterfaceLanguage();
    // The language code of the system locale (LC_ALL, LC_MESSAGES, then LANG; "uk_UA.UTF-8"
    // gives "uk"); none for the C/POSIX locale or when nothing is set.
    static std::optional<std::string> systemLanguageCode();
    static void switchToSystemLanguage();
    static void refreshLocalizedWindows();
    // The locale-change notification: re-localises with the current column, choosing nothing.
    void localeDidChange();

private:
    std::unordered_map<std::string, Column> langs;
    Column en;
    const Column* _currentLang = nullptr;  // an entry of `langs`, whose nodes never move
    std::optional<CSV> csv;
    NotificationCenter::ObserverToken localeObserver_ = 0;
};

}  // namespace wv
