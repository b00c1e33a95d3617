#include "sdk/crash/kit/QXBetaUpdate.h"

#include "platform/foundation/Bundle.h"
#include "platform/net/Error.h"
#include "platform/net/URLString.h"
#include "platform/plist/Value.h"
#include "sdk/core/TRNApplication.h"

namespace wv {
namespace {

// The text under `key` in the main bundle's strings table "Quellix", else `fallback`. The
// table is optional: most bundles have none.
std::string localizedText(std::string_view key, std::string_view fallback) {
    const auto table = Bundle::main().pathForResource("Quellix", "strings");
    if (!table) return std::string(fallback);
    const auto strings = plist::readFile(*table);
    if (!strings || !strings->is<plist::Dictionary>()) return std::string(fallback);
    const plist::Value* text = strings->get<plist::Dictionary>()->find(key);
    if (text && text->is<std::string>()) return *text->get<std::string>();
    return std::string(fallback);
}

}  // namespace

std::shared_ptr<QXBetaUpdate> QXBetaUpdate::initWithDictionary(const nlohmann::json& dictionary) {
    if (!dictionary.is_object()) return nullptr;
    const auto url = dictionary.find("url");
    if (url == dictionary.end() || !url->is_string()) return nullptr;
    const auto& text = url->get_ref<const std::string&>();
    if (!net::isValidURL(text)) return nullptr;
    std::optional<std::string> version;
    if (const auto v = dictionary.find("version_string"); v != dictionary.end() && v->is_string())
        version = v->get<std::string>();
    return std::make_shared<QXBetaUpdate>(text, std::move(version));
}

std::shared_ptr<QXBetaUpdate> QXBetaUpdate::betaUpdateWithDictionary(
    const nlohmann::json& dictionary, std::optional<Error>* error) {
    auto update = initWithDictionary(dictionary);
    if (!update && error)
        *error = Error{net::kURLErrorDomain, net::URLError::CannotParseResponse, {}};
    return update;
}

std::string QXBetaUpdate::promptTitle() const {
    return localizedText("QuellixDistributionPromptTitle", "New Build Available");
}

std::string QXBetaUpdate::promptMessage() const {
    std::string format = localizedText("QuellixDistributionPromptMessage",
                                       "A new version of %@ is available for testing.");
    // Only the one placeholder is filled, and the text is never used as a format itself, so a
    // translation holding other % signs cannot read arguments that are not there.
    if (const auto at = format.find("%@"); at != std::string::npos)
        format.replace(at, 2, TRNApplicationName().value_or(""));
    return format;
}

std::string QXBetaUpdate::cancelLabel() const {
    return localizedText("QuellixDistributionPromptCancelTitle", "Cancel");
}

std::string QXBetaUpdate::installLabel() const {
    return localizedText("QuellixDistributionPromptInstallTitle", "Install");
}

}  // namespace wv
