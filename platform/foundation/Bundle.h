#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wv {

// The application bundle: a folder of resources found by name and extension.
// $WOVANU_BUNDLE_DIR overrides where it is; otherwise it is the "bundle" folder beside the
// executable, and failing that the one the build tree made.
class Bundle {
public:
    static const Bundle& main();
    explicit Bundle(std::filesystem::path root);

    const std::filesystem::path& root() const { return root_; }
    std::string identifier() const;       // "com.wovanu.typing"
    std::string shortVersion() const;     // from the build
    std::string buildVersion() const;

    // The resource "name.ext" (ext may be empty, and name may hold a sub-folder such as
    // "db/english_0"), when such a regular file exists.
    std::optional<std::filesystem::path> pathForResource(std::string_view name,
                                                         std::string_view ext) const;

private:
    std::filesystem::path root_;
};

}  // namespace wv
