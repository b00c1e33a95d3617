#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wv {

// The application bundle: a folder of resources found by name and extension.
// $WOVANU_BUNDLE_DIR overrides where it is; otherwise it is the "bundle" folder beside the
// executable, and failing that the one the build tree made. A ScopedMainBundle stands in for
// the main bundle while it lives (tests); its Info.plist is read by platform/plist's BundleInfo.
class Bundle {
  public:
    static const Bundle& main();
    // The running program's file (/proc/self/exe resolved), empty when it cannot be read.
    static std::filesystem::path mainExecutablePath();
    explicit Bundle(std::filesystem::path root);

    const std::filesystem::path& root() const { return root_; }
    std::string identifier() const;    // "com.wovanu.typing"
    std::string shortVersion() const;  // from the build
    std::string buildVersion() const;

    // The resource "name.ext" (ext may be empty, and name may hold a sub-folder such as
    // "db/english_0"), when such a regular file exists.
    std::optional<std::filesystem::path> pathForResource(std::string_view name,
                                                         std::string_view ext) const;

  private:
    std::filesystem::path root_;
};

// Makes the folder `root` the main bundle until destroyed; scopes nest. Meant for tests, which
// set it up before the code under test runs and take it down after its threads are done.
class ScopedMainBundle {
  public:
    explicit ScopedMainBundle(std::filesystem::path root);
    ~ScopedMainBundle();
    ScopedMainBundle(const ScopedMainBundle&) = delete;
    ScopedMainBundle& operator=(const ScopedMainBundle&) = delete;

    const Bundle& bundle() const { return bundle_; }

  private:
    Bundle bundle_;
    const Bundle* previous_;
};

}  // namespace wv
