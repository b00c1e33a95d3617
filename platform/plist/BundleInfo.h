#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Bundle.h"
#include "platform/plist/Value.h"

namespace wv {

// A bundle's information dictionary: the top-level dictionary of "Info.plist" in the bundle
// folder, read once when the object is made. A missing file, one that is no property list or
// one whose top level is not a dictionary leaves it without a dictionary.
class BundleInfo {
  public:
    // The main bundle's (Bundle::main(), a ScopedMainBundle included); re-read only when the
    // main bundle's folder changes.
    static std::shared_ptr<const BundleInfo> main();
    explicit BundleInfo(const Bundle& bundle, bool isMain = false);

    const std::filesystem::path& bundleRoot() const { return root_; }
    const std::optional<plist::Dictionary>& infoDictionary() const { return info_; }
    const plist::Value* objectForInfoDictionaryKey(std::string_view key) const;
    // The value when it is a string.
    std::optional<std::string> stringForKey(std::string_view key) const;

    // CFBundleIdentifier.
    std::optional<std::string> identifier() const { return stringForKey("CFBundleIdentifier"); }
    // The main bundle's executable is the running program. Another bundle's is the file its
    // CFBundleExecutable names beside the bundle folder (the build tree's layout); none when
    // the key is missing.
    std::optional<std::filesystem::path> executablePath() const;

  private:
    std::filesystem::path root_;
    bool isMain_;
    std::optional<plist::Dictionary> info_;
};

}  // namespace wv
