#pragma once

#include <filesystem>
#include <memory>

#include "platform/dispatch/Operation.h"
#include "sdk/analytics/PLRCrashMetadata.h"
#include "sdk/analytics/PLRMetadata.h"

namespace wv {

// Swaps the crash metadata file at kit start: what the previous run left becomes
// crashMetadata(), and this run's metadata (with the time the operation was made) takes its
// place for the next run. Run it by calling main() directly, once.
class PLRRotateCrashMetadataOperation : public Operation {
  public:
    PLRRotateCrashMetadataOperation(std::filesystem::path crashMetadataURL,
                                    std::shared_ptr<const PLRMetadata> currentMetadata);

    void main() override;

    const std::filesystem::path& crashMetadataURL() const { return crashMetadataURL_; }
    const std::shared_ptr<const PLRMetadata>& currentMetadata() const { return currentMetadata_; }
    const nlohmann::ordered_json& currentMetadataDictionary() const { return currentDictionary_; }
    // The previous run's record; set by main().
    const std::shared_ptr<PLRCrashMetadata>& crashMetadata() const { return crashMetadata_; }

  private:
    std::filesystem::path crashMetadataURL_;
    std::shared_ptr<const PLRMetadata> currentMetadata_;
    nlohmann::ordered_json currentDictionary_;
    std::shared_ptr<PLRCrashMetadata> crashMetadata_;
};

}  // namespace wv
