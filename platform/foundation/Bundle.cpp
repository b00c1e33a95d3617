#include "platform/foundation/Bundle.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <system_error>

namespace wv {

namespace {

std::filesystem::path locateBundle() {
    if (const char* dir = std::getenv("WOVANU_BUNDLE_DIR"); dir && *dir) return dir;
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        auto beside = exe.parent_path() / "bundle";
        if (std::filesystem::is_directory(beside, ec)) return beside;
    }
    return WOVANU_DEFAULT_BUNDLE_DIR;
}

std::atomic<const Bundle*> scopedMain{nullptr};

}  // namespace

const Bundle& Bundle::main() {
    if (const Bundle* scoped = scopedMain.load(std::memory_order_acquire)) return *scoped;
    static const Bundle bundle(locateBundle());
    return bundle;
}

std::filesystem::path Bundle::mainExecutablePath() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

ScopedMainBundle::ScopedMainBundle(std::filesystem::path root)
    : bundle_(std::move(root)), previous_(scopedMain.exchange(&bundle_)) {}

ScopedMainBundle::~ScopedMainBundle() { scopedMain.store(previous_); }

Bundle::Bundle(std::filesystem::path root) : root_(std::move(root)) {}

std::string Bundle::identifier() const { return WOVANU_BUNDLE_IDENTIFIER; }

std::string Bundle::shortVersion() const { return WOVANU_SHORT_VERSION; }

std::string Bundle::buildVersion() const { return WOVANU_BUILD_VERSION; }

std::optional<std::filesystem::path> Bundle::pathForResource(std::string_view name,
                                                             std::string_view ext) const {
    std::string file(name);
    if (!ext.empty()) {
        file += '.';
        file += ext;
    }
    auto path = root_ / file;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    return path;
}

}  // namespace wv
