#pragma once

#include <optional>

#include "platform/net/Error.h"

namespace wv {

class TRNDownloadAndSaveSettingsOperation;

// Told once when a settings download has ended: with no error once the new settings.json is
// in place, else with the error that ended it (the previous file is then untouched).
class TRNDownloadAndSaveSettingsOperationDelegate {
  public:
    virtual ~TRNDownloadAndSaveSettingsOperationDelegate() = default;
    virtual void operationDidDownloadAndSaveSettingsWithError(
        TRNDownloadAndSaveSettingsOperation& operation, const std::optional<net::Error>& error) = 0;
};

}  // namespace wv
