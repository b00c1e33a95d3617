#pragma once

// The application's modal alert over QMessageBox: one push button per title, in the order
// given, answering with the alert's response codes (1000 for the first button, and on).

#include "platform/foundation/AlertPresenter.h"

namespace wv {

class MessageBoxAlertPresenter final : public AlertPresenter {
  public:
    long runModal(const Alert& alert) override;
};

// Links a MessageBoxAlertPresenter as the application's alert; the application calls it once
// it has a QApplication. Calling it again changes nothing.
void registerMessageBoxAlertPresenter();

}  // namespace wv
