#include "platform/plist/BundleInfo.h"

#include <mutex>
#include <system_error>

namespace wv {

std::shared_ptr<const BundleInfo> BundleInfo::main() {
    static std::mutex mutex;
    static std::shared_ptr<const BundleInfo> cached;
    const Bundle& bundle = Bundle::main();
    std::lock_guard lock(mutex);
    if (!cached || cached->bundleRoot() != bundle.root()) {
        cached = std::make_shared<const BundleInfo>(bundle, true);
    }
    return cached;
}

BundleInfo::BundleInfo(const Bundle& bundle, bool isMain) : root_(bundle.root()), isMain_(isMain) {
    const auto path = root_ / "Info.plist";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return;
    auto value = plist::readFile(path);
    if (value && value->is<plist::Dictionary>())
        info_ = std::move(*value->get<plist::Dictionary>());
}

const plist::Value* BundleInfo::objectForInfoDictionaryKey(std::string_view key) const {
    return info_ ? info_->find(key) : nullptr;
}

std::optional<std::string> BundleInfo::stringForKey(std::string_view key) const {
    const plist::Value* value = objectForInfoDictionaryKey(key);
    if (value && value->is<std::string>()) return *value->get<std::string>();
    return std::nullopt;
}

std::optional<std::filesystem::path> BundleInfo::executablePath() const {
    if (isMain_) {
        auto exe = Bundle::mainExecutablePath();
        if (!exe.empty()) return exe;
    }
    auto name = stringForKey("CFBundleExecutable");
    if (!name || name->empty()) return std::nullopt;
    return root_.parent_path() / *name;
}

}  // namespace wv
