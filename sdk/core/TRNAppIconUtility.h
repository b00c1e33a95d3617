#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "sdk/core/TRNIcon.h"

namespace wv {

// The application's icon: the PNG file that the main bundle's Info.plist names under
// CFBundleIconFile (".png" is added when the name has no extension).
class TRNAppIconUtility {
  public:
    // Loaded on the first read; none when there is no such file or it is no whole PNG.
    std::shared_ptr<TRNIcon> applicationIcon();
    std::optional<std::filesystem::path> mainAppIcon() const;

  private:
    bool fetched_ = false;
    std::shared_ptr<TRNIcon> icon_;
};

}  // namespace wv
