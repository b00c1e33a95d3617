#pragma once

#include <optional>
#include <string>

#include "sdk/crash/report/QXSettings.h"

namespace wv {

class QXBetaController;

// What the beta controller asks of its owner (the crash kit): the settings of the moment and
// the API key. Called on the beta queue.
class QXBetaControllerDelegate {
  public:
    virtual ~QXBetaControllerDelegate() = default;
    virtual QXSettings settingsForBetaController(QXBetaController& controller) = 0;
    virtual std::optional<std::string> APIKeyForBetaController(QXBetaController& controller) = 0;
};

}  // namespace wv
