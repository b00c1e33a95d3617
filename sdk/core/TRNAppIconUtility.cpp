#include "sdk/core/TRNAppIconUtility.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "platform/plist/BundleInfo.h"

namespace wv {

std::optional<std::filesystem::path> TRNAppIconUtility::mainAppIcon() const {
    auto name = BundleInfo::main()->stringForKey("CFBundleIconFile");
    if (!name || name->empty()) return std::nullopt;
    const std::filesystem::path file(*name);
    const std::string ext = file.has_extension() ? file.extension().string().substr(1) : "png";
    return Bundle::main().pathForResource(file.has_extension() ? file.stem().string() : *name, ext);
}

std::shared_ptr<TRNIcon> TRNAppIconUtility::applicationIcon() {
    if (fetched_) return icon_;
    fetched_ = true;
    auto path = mainAppIcon();
    if (!path) return nullptr;
    std::ifstream in(*path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (!in.eof() && in.fail()) return nullptr;
    icon_ = TRNIcon::initWithPNG(std::move(bytes));
    return icon_;
}

}  // namespace wv
