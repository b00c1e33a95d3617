#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/foundation/Error.h"

namespace wv {

// A newer test build the beta endpoint offers this installation: where to get it, its
// version, and the texts of the prompt that would announce it.
class QXBetaUpdate {
  public:
    // initWithDictionary: none unless `dictionary` is an object whose "url" is a text that
    // makes a URL; "version_string" is kept when it is a text.
    static std::shared_ptr<QXBetaUpdate> initWithDictionary(const nlohmann::json& dictionary);
    // The same, a missing offer told as a URL-loading error -1017 (cannot parse response)
    // with no user information.
    static std::shared_ptr<QXBetaUpdate> betaUpdateWithDictionary(
        const nlohmann::json& dictionary, std::optional<Error>* error);

    const std::string& url() const { return url_; }
    const std::optional<std::string>& version() const { return version_; }

    // From the main bundle's strings table "Quellix", each with its default.
    std::string promptTitle() const;    // "New Build Available"
    std::string promptMessage() const;  // "A new version of <application name> is available..."
    std::string cancelLabel() const;    // "Cancel"
    std::string installLabel() const;   // "Install"

    QXBetaUpdate(std::string url, std::optional<std::string> version)
        : url_(std::move(url)), version_(std::move(version)) {}

  private:
    std::string url_;
    std::optional<std::string> version_;
};

}  // namespace wv
