#include "sdk/core/TRNSettings.h"

#include <fstream>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "sdk/core/TRNApplication.h"
#include "sdk/core/TRNURLBuilder.h"
#include "sdk/core/Tarnel.h"

namespace wv {

TRNSettings::TRNSettings(std::filesystem::path settingsPath)
    : settingsPath_(std::move(settingsPath)) {}

std::optional<std::string> TRNSettings::readDocument(const std::filesystem::path& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaximumFileSize) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    // One read of the size found: the file is only ever replaced by a rename, never grown in
    // place, so what was measured is what there is.
    std::string text(size_t(size), '\0');
    in.read(text.data(), std::streamsize(text.size()));
    if (in.bad() || size_t(in.gcount()) != text.size()) return std::nullopt;
    return text;
}

TRNSettings::Dictionary TRNSettings::settingsDictionary() {
    std::lock_guard lock(mutex_);
    if (!dictionary_) dictionary_ = load();
    return dictionary_;
}

void TRNSettings::setSettingsDictionary(Dictionary dictionary) {
    std::lock_guard lock(mutex_);
    dictionary_ = std::move(dictionary);
}

void TRNSettings::clearSettingsDictionary() { setSettingsDictionary(nullptr); }

TRNSettings::Dictionary TRNSettings::load() {
    const auto text = readDocument(settingsPath_);
    if (!text) return nullptr;
    std::string problem;
    try {
        auto parsed = std::make_shared<nlohmann::json>(nlohmann::json::parse(*text));
        if (parsed->is_object()) return parsed;
        problem = "the document is not a JSON object";
    } catch (const nlohmann::json::exception& e) {
        problem = e.what();
    }
    // Deleted so that the next read of this run, and the next run, see no file instead of
    // logging the same fault again; the next download writes a good one.
    Log::system("[Tarnel] Could not load settings with error: " + problem);
    std::error_code ignored;
    std::filesystem::remove(settingsPath_, ignored);
    return nullptr;
}

std::optional<nlohmann::json> TRNSettings::appSettings() {
    const Dictionary settings = settingsDictionary();
    if (!settings) return std::nullopt;
    const auto app = settings->find("app");
    if (app == settings->end() || !app->is_object()) return std::nullopt;
    return *app;
}

std::optional<std::string> TRNSettings::appStatus() {
    const auto app = appSettings();
    if (!app) return std::nullopt;
    const auto status = app->find("status");
    if (status == app->end() || !status->is_string()) return std::nullopt;
    return status->get<std::string>();
}

bool TRNSettings::appNeedsOnboarding() { return appStatus() == "new"; }

bool TRNSettings::appUpdateRequired() {
    const auto app = appSettings();
    if (!app) return false;
    const auto value = app->find("update_required");
    if (value == app->end()) return false;
    if (value->is_boolean()) return value->get<bool>();
    if (value->is_number_integer()) return value->get<int64_t>() != 0;
    if (value->is_number_unsigned()) return value->get<uint64_t>() != 0;
    if (value->is_number_float()) return value->get<double>() != 0.0;
    if (value->is_string()) return text::boolValue(value->get<std::string>());
    return false;
}

std::optional<std::string> TRNSettings::appBundleIdentifier() {
    return TRNApplicationBundleIdentifier();
}

std::string TRNSettings::appPlatform() { return Tarnel::kPlatform; }

std::optional<std::string> TRNSettings::appBuildVersion() { return TRNApplicationBuildVersion(); }

std::optional<std::string> TRNSettings::appDisplayVersion() {
    return TRNApplicationDisplayVersion();
}

int64_t TRNSettings::appSource() { return TRNApplicationInstallSource(); }

std::optional<std::string> TRNSettings::settingsURLForEndpoint(
    const std::string& endpoint, const std::string& instanceIdentifier) {
    if (endpoint.empty()) return std::nullopt;
    TRNURLBuilder url = TRNURLBuilder::URLWithBase(endpoint);
    url.appendComponent("/spi/v2/platforms/");
    url.escapeAndAppendComponent(appPlatform());
    url.appendComponent("/apps/");
    url.escapeAndAppendComponent(appBundleIdentifier().value_or(""));
    url.appendComponent("/settings");
    auto text = [](const std::optional<std::string>& s) -> std::optional<TRNURLBuilder::Value> {
        if (!s) return std::nullopt;
        return *s;
    };
    url.appendValue(text(appBuildVersion()), "build_version");
    url.appendValue(text(appDisplayVersion()), "display_version");
    url.appendValue(instanceIdentifier, "instance");
    url.appendValue(appSource(), "source");
    return url.URL();
}

}  // namespace wv
