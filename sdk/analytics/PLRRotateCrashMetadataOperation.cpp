#include "sdk/analytics/PLRRotateCrashMetadataOperation.h"

#include "platform/foundation/WallClock.h"

namespace wv {

PLRRotateCrashMetadataOperation::PLRRotateCrashMetadataOperation(
    std::filesystem::path crashMetadataURL, std::shared_ptr<const PLRMetadata> currentMetadata)
    : crashMetadataURL_(std::move(crashMetadataURL)), currentMetadata_(std::move(currentMetadata)) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(wallNow().time_since_epoch()).count();
    currentDictionary_ = currentMetadata_->dictionaryRepresentationWithStartTime(
        seconds > 0 ? uint64_t(seconds) : 0);
}

void PLRRotateCrashMetadataOperation::main() {
    std::error_code ec;
    nlohmann::ordered_json previous = nlohmann::ordered_json::object();
    if (std::filesystem::symlink_status(crashMetadataURL_, ec).type() !=
        std::filesystem::file_type::not_found) {
        if (auto read = PLRCrashMetadata::readSerializedDictionaryFromURL(crashMetadataURL_))
            previous = std::move(*read);
        // Whatever stands in the way goes (a folder included): the new file must be written.
        std::filesystem::remove_all(crashMetadataURL_, ec);
    }
    crashMetadata_ = std::make_shared<PLRCrashMetadata>(std::move(previous));
    PLRCrashMetadata::writeSerializedDictionary(currentDictionary_, crashMetadataURL_);
}

}  // namespace wv
